#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <functional>

#include "app/modal_runner.h"
#include "app/scripted_ui_services.h"
#include "conn/folder_file.h"
#include "conn/folder_form.h"
#include "conn/host_file.h"
#include "conn/host_form.h"
#include "conn/login_form.h"
#include "conn/text_codec.h"
#include "support/test_server.h"
#include "support/ui_support.h"

namespace dbk {
namespace {

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Drives the forms the login form opens: each handler fills its form and presses a button.
class LoginFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        setInterfaceLanguage(Language::English);
        previousRunner = setModalRunner([this](QDialog& dialog) {
            if (auto* host = qobject_cast<HostForm*>(&dialog)) {
                ++hostFormsOpened;
                lastHostFormTitle = host->windowTitle();
                if (!onHostForm)
                    return int(QDialog::Rejected);
                onHostForm(*host);
            } else if (auto* folder = qobject_cast<FolderForm*>(&dialog)) {
                if (!onFolderForm)
                    return int(QDialog::Rejected);
                onFolderForm(*folder);
            }
            return dialog.result();
        });
    }
    void TearDown() override { setModalRunner(previousRunner); }

    QString hostPath() const { return QDir(dir.path()).filePath("Host.DAT"); }
    QString folderPath() const { return QDir(dir.path()).filePath("FOLDER.DAT"); }
    LoginValues preset() const { return LoginValues{{}, {}, {}, "3306"}; }

    static void fillHost(HostForm& f, const QString& name, const QString& host, const QString& port,
                         const QString& user, const QString& password) {
        f.nameEdit()->setText(name);
        f.hostEdit()->setText(host);
        f.portEdit()->setText(port);
        f.userEdit()->setText(user);
        f.passwordEdit()->setText(password);
        f.createButton()->click();
    }

    // Adds a host under the selected folder, or under the root when a host is selected.
    void addHost(LoginForm& form, const QString& name, const QString& host = "db.example",
                 const QString& port = "3307") {
        if (LoginForm::nodeImage(form.tree()->currentItem()) >= 2)
            form.tree()->setCurrentItem(form.root());
        onHostForm = [&](HostForm& f) { fillHost(f, name, host, port, "alice", "secret"); };
        form.button(LoginForm::NewHost)->click();
    }

    static void chooseSecurity(HostForm& f, TlsMode mode, const QString& caFile = {}) {
        f.securityCombo()->setCurrentIndex(f.securityCombo()->findData(static_cast<int>(mode)));
        f.caFileEdit()->setText(caFile);
    }
    static HostSecurity stored(std::string_view name) {
        QSettings settings;
        return HostSecurity::read(settings, name);
    }

    test::IsolatedSettings settings;
    QTemporaryDir dir;
    ScopedScriptedUi ui;
    ModalRunner previousRunner;
    std::function<void(HostForm&)> onHostForm;
    std::function<void(FolderForm&)> onFolderForm;
    int hostFormsOpened = 0;
    QString lastHostFormTitle;
};

TEST_F(LoginFormTest, FirstRunShowsTheRootAndThePresetPortAndWritesAnEmptyTree) {
    LoginForm form(dir.path(), preset());
    ASSERT_EQ(form.tree()->topLevelItemCount(), 1);
    EXPECT_EQ(form.root()->text(0), "Host");
    EXPECT_EQ(form.root()->childCount(), 0);
    EXPECT_EQ(form.portEdit()->text(), "3306");
    EXPECT_EQ(form.passwordEdit()->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(form.button(LoginForm::NewHost)->isEnabled());
    EXPECT_FALSE(form.button(LoginForm::EditHost)->isEnabled());
    EXPECT_FALSE(form.button(LoginForm::DeleteHost)->isEnabled());

    form.userEdit()->setText("bob");
    form.hostEdit()->setText("127.0.0.1");
    form.button(LoginForm::Connect)->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(readFile(folderPath()), "0\n");
    EXPECT_FALSE(QFile::exists(hostPath()));
    const LoginValues v = form.values();
    EXPECT_EQ(v.user, "bob");
    EXPECT_EQ(v.host, "127.0.0.1");
    EXPECT_EQ(v.port, "3306");
}

TEST_F(LoginFormTest, NewHostUnderTheRootIsSavedInBothFiles) {
    LoginForm form(dir.path(), preset());
    addHost(form, "db1");
    EXPECT_EQ(ui->questions, QStringList{"Proceed?"});
    const QByteArray hosts = readFile(hostPath());
    ASSERT_EQ(hosts.size(), 1034);
    EXPECT_EQ(hosts.left(4), QByteArray("db1\0", 4));
    EXPECT_EQ(hosts.mid(256, 11), QByteArray("db.example\0", 11));
    EXPECT_EQ(hosts.mid(1024, 5), QByteArray("3307\0", 5));
    EXPECT_EQ(hosts.at(1033), '1');
    EXPECT_EQ(QFile::permissions(hostPath()) & (QFileDevice::ReadGroup | QFileDevice::ReadOther), 0);
    EXPECT_EQ(readFile(folderPath()), "1\n0 2 db1 -1\n");

    // the new node is selected and its values are in the login fields
    ASSERT_NE(form.tree()->currentItem(), nullptr);
    EXPECT_EQ(form.tree()->currentItem()->text(0), "db1");
    EXPECT_EQ(form.hostEdit()->text(), "db.example");
    EXPECT_EQ(form.portEdit()->text(), "3307");
    EXPECT_EQ(form.userEdit()->text(), "alice");
    EXPECT_EQ(form.passwordEdit()->text(), "secret");
    EXPECT_TRUE(form.button(LoginForm::EditHost)->isEnabled());
    EXPECT_FALSE(form.button(LoginForm::CreateFolder)->isEnabled());
}

TEST_F(LoginFormTest, FoldersAndHostsAreKeptSortedAndComeBackOnTheNextOpening) {
    {
        LoginForm form(dir.path(), preset());
        onFolderForm = [](FolderForm& f) {
            f.nameEdit()->setText("prod");
            f.accept();
        };
        form.button(LoginForm::CreateFolder)->click();
        addHost(form, "db2", "prod.example", "3310");
        form.tree()->setCurrentItem(form.root());
        onFolderForm = [](FolderForm& f) {
            f.nameEdit()->setText("dev");
            f.accept();
        };
        form.button(LoginForm::CreateFolder)->click();
        addHost(form, "db1", "dev.example", "3309");
        EXPECT_EQ(form.root()->child(0)->text(0), "dev");
        EXPECT_EQ(form.root()->child(1)->text(0), "prod");
    }
    EXPECT_EQ(readFile(folderPath()), "4\n0 0 dev -1\n1 2 db1 -1\n0 0 prod -1\n3 2 db2 -1\n");

    // Reopened: the last item loaded is selected and fills the fields.
    LoginForm again(dir.path(), preset());
    ASSERT_EQ(again.root()->childCount(), 2);
    EXPECT_EQ(again.root()->child(1)->child(0)->text(0), "db2");
    EXPECT_EQ(again.tree()->currentItem()->text(0), "db2");
    EXPECT_EQ(again.hostEdit()->text(), "prod.example");
    EXPECT_EQ(again.portEdit()->text(), "3310");
}

TEST_F(LoginFormTest, CancelledOrEmptyFolderFormsCreateNothing) {
    LoginForm form(dir.path(), preset());
    onFolderForm = [](FolderForm& f) { f.reject(); };
    form.button(LoginForm::CreateFolder)->click();
    EXPECT_EQ(form.root()->childCount(), 0);

    onFolderForm = [](FolderForm& f) {
        f.nameEdit()->setText("two words");
        f.accept();
    };
    form.button(LoginForm::CreateFolder)->click();
    EXPECT_EQ(form.root()->childCount(), 0);
    EXPECT_EQ(ui->messages, QStringList{"Enter a name without blanks."});
}

TEST_F(LoginFormTest, EditingAHostRewritesItsRecordInPlace) {
    LoginForm form(dir.path(), preset());
    addHost(form, "first");
    addHost(form, "second", "second.example", "3311");
    const QByteArray before = readFile(hostPath());
    ASSERT_EQ(before.size(), 2 * 1034);

    onHostForm = [](HostForm& f) {
        EXPECT_TRUE(f.isEditMode());
        EXPECT_EQ(f.nameEdit()->text(), "second");
        EXPECT_EQ(f.hostEdit()->text(), "second.example");
        fillHost(f, "renamed", "new.example", "3312", "carol", "pw");
    };
    form.button(LoginForm::EditHost)->click();
    EXPECT_EQ(lastHostFormTitle, "Change Host");

    const QByteArray after = readFile(hostPath());
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after.left(1034), before.left(1034));
    EXPECT_EQ(HostFile::decode(std::string_view(after.constData() + 1034, 1034)),
              (HostRecord{"renamed", "new.example", "carol", "pw", "3312"}));
    EXPECT_EQ(form.tree()->currentItem()->text(0), "renamed");
    EXPECT_EQ(form.hostEdit()->text(), "new.example");
    EXPECT_EQ(readFile(folderPath()), "2\n0 2 first -1\n0 2 renamed -1\n");
}

TEST_F(LoginFormTest, DeletingAHostAsksFirstAndMarksItsRecord) {
    LoginForm form(dir.path(), preset());
    addHost(form, "db1");
    ui->questions.clear();

    ui->answers.push_back(false);
    form.button(LoginForm::DeleteHost)->click();
    EXPECT_EQ(ui->questions, QStringList{"Proceed to delete it?"});
    EXPECT_EQ(form.root()->childCount(), 1);
    EXPECT_TRUE(HostFile(hostPath()).find("db1").has_value());

    form.button(LoginForm::DeleteHost)->click();
    EXPECT_EQ(form.root()->childCount(), 0);
    const QByteArray bytes = readFile(hostPath());
    ASSERT_EQ(bytes.size(), 1034);
    for (int offset : {0, 256, 512, 768, 1024})
        EXPECT_EQ(bytes.mid(offset, 2), QByteArray("*\0", 2)) << offset;
    EXPECT_EQ(bytes.mid(258, 9), QByteArray(".example\0", 9));  // the rest of the field stays as it was
    EXPECT_EQ(HostFile(hostPath()).find("*")->host, "*");
    EXPECT_EQ(readFile(folderPath()), "0\n");
}

TEST_F(LoginFormTest, DeletingAFolderKeepsTheRecordsOfItsHosts) {
    LoginForm form(dir.path(), preset());
    onFolderForm = [](FolderForm& f) {
        f.nameEdit()->setText("dev");
        f.accept();
    };
    form.button(LoginForm::CreateFolder)->click();
    addHost(form, "db1");
    form.tree()->setCurrentItem(form.root()->child(0));
    EXPECT_FALSE(form.button(LoginForm::EditHost)->isEnabled());
    form.button(LoginForm::DeleteFolder)->click();
    EXPECT_EQ(form.root()->childCount(), 0);
    EXPECT_TRUE(HostFile(hostPath()).find("db1").has_value());
    // the tree is written at the next connect
    EXPECT_EQ(readFile(folderPath()), "2\n0 0 dev -1\n1 2 db1 -1\n");
    form.button(LoginForm::Connect)->click();
    EXPECT_EQ(readFile(folderPath()), "0\n");

    // the root itself can be neither renamed nor deleted
    form.tree()->setCurrentItem(form.root());
    EXPECT_FALSE(form.button(LoginForm::DeleteFolder)->isEnabled());
    EXPECT_FALSE(form.button(LoginForm::EditFolder)->isEnabled());
}

TEST_F(LoginFormTest, APortThatIsNotANumberKeepsTheFormOpen) {
    LoginForm form(dir.path(), preset());
    for (const char* port : {"33o6", "", "70000"}) {
        ui->messages.clear();
        form.portEdit()->setText(port);
        form.button(LoginForm::Connect)->click();
        EXPECT_NE(form.result(), QDialog::Accepted) << port;
        EXPECT_EQ(ui->messages.size(), 1) << port;
        EXPECT_TRUE(ui->messages.value(0).contains("port")) << port;
    }
    EXPECT_FALSE(QFile::exists(folderPath()));
    form.portEdit()->setText("3306");
    form.button(LoginForm::Connect)->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST_F(LoginFormTest, HostFormRefusesNamesTheFolderFileCannotKeep) {
    LoginForm form(dir.path(), preset());
    onHostForm = [](HostForm& f) {
        fillHost(f, QString::fromUtf8("本番データベースサーバ"), "h", "3306", "u", "p");  // 22 bytes
    };
    form.button(LoginForm::NewHost)->click();
    EXPECT_EQ(form.root()->childCount(), 0);
    EXPECT_FALSE(QFile::exists(hostPath()));
    ASSERT_EQ(ui->messages.size(), 1);
    EXPECT_TRUE(ui->messages[0].contains("19"));

    // answering No to "Proceed?" keeps the host form open and writes nothing
    ui->answers.push_back(false);
    onHostForm = [](HostForm& f) { fillHost(f, "db9", "h", "3306", "u", "p"); };
    form.button(LoginForm::NewHost)->click();
    EXPECT_EQ(form.root()->childCount(), 0);
    EXPECT_FALSE(QFile::exists(hostPath()));
}

TEST_F(LoginFormTest, JapaneseNamesAreStoredAsShiftJis) {
    LoginForm form(dir.path(), preset());
    addHost(form, QString::fromUtf8("本番"));
    EXPECT_EQ(readFile(hostPath()).left(5), QByteArray("\x96\x7b\x94\xd4\0", 5));
    EXPECT_EQ(readFile(folderPath()), "1\n0 2 \x96\x7b\x94\xd4 -1\n");
    LoginForm again(dir.path(), preset());
    EXPECT_EQ(again.root()->child(0)->text(0), QString::fromUtf8("本番"));
    EXPECT_EQ(again.hostEdit()->text(), "db.example");
}

TEST_F(LoginFormTest, DoubleClickingAHostConnectsWithoutRewritingTheTree) {
    {
        LoginForm form(dir.path(), preset());
        addHost(form, "db1", "one.example", "3301");
        addHost(form, "db2", "two.example", "3302");
    }
    const QByteArray tree = readFile(folderPath());
    LoginForm form(dir.path(), preset());
    QFile::remove(folderPath());
    QTreeWidgetItem* db1 = form.root()->child(0);
    emit form.tree()->itemDoubleClicked(db1, 0);
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.values().host, "one.example");
    EXPECT_EQ(form.values().port, "3301");
    EXPECT_FALSE(QFile::exists(folderPath()));
    EXPECT_EQ(tree, "2\n0 2 db1 -1\n0 2 db2 -1\n");
}

TEST_F(LoginFormTest, SecurityLivesBesideTheFilesAndFollowsItsHost) {
    const QString ca = dir.filePath("ca.pem");
    {
        QFile file(ca);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    LoginForm form(dir.path(), preset());
    addHost(form, "first");
    addHost(form, "second", "second.example", "3311");
    EXPECT_EQ(stored("second"), HostSecurity{});
    EXPECT_EQ(form.values().security, HostSecurity{});
    const QByteArray hostsBefore = readFile(hostPath());
    const QByteArray foldersBefore = readFile(folderPath());

    // Verified without a CA file is refused and nothing is written.
    onHostForm = [&](HostForm& f) {
        EXPECT_EQ(f.security(), HostSecurity{});
        EXPECT_FALSE(f.caFileEdit()->isEnabled());
        chooseSecurity(f, TlsMode::Verified);
        EXPECT_TRUE(f.caFileEdit()->isEnabled());
        f.createButton()->click();
        EXPECT_EQ(f.result(), QDialog::Rejected);
        f.reject();
    };
    ui->messages.clear();
    form.button(LoginForm::EditHost)->click();
    EXPECT_TRUE(ui->messages.value(0).startsWith("A verified connection needs the CA file"))
        << ui->messages.value(0).toStdString();
    EXPECT_EQ(stored("second"), HostSecurity{});

    // Only the security changes: both files stay byte for byte as they were.
    ui->openFileAnswers.push_back(ca);
    onHostForm = [&](HostForm& f) {
        chooseSecurity(f, TlsMode::Verified);
        f.caFileButton()->click();
        EXPECT_EQ(f.caFileEdit()->text(), ca);
        f.createButton()->click();
    };
    form.button(LoginForm::EditHost)->click();
    const HostSecurity verified{TlsMode::Verified, ca};
    EXPECT_EQ(stored("second"), verified);
    EXPECT_EQ(stored("first"), HostSecurity{});
    EXPECT_EQ(readFile(hostPath()), hostsBefore);
    EXPECT_EQ(readFile(folderPath()), foldersBefore);
    EXPECT_EQ(form.values().security, verified);

    // Selecting another host brings its own setting; coming back brings this one again.
    form.tree()->setCurrentItem(form.root()->child(0));
    EXPECT_EQ(form.values().security, HostSecurity{});
    form.tree()->setCurrentItem(form.root()->child(1));
    EXPECT_EQ(form.values().security, verified);

    // A rename takes the setting along; the form shows it when opened again.
    onHostForm = [&](HostForm& f) {
        EXPECT_EQ(f.security(), verified);
        f.nameEdit()->setText("renamed");
        f.createButton()->click();
    };
    form.button(LoginForm::EditHost)->click();
    EXPECT_EQ(stored("renamed"), verified);
    EXPECT_EQ(stored("second"), HostSecurity{});
    QSettings store;
    EXPECT_FALSE(store.childGroups().isEmpty());

    // Deleting the host deletes its setting: a new host of the same name starts from Preferred.
    ASSERT_EQ(form.tree()->currentItem()->text(0), "renamed");
    form.button(LoginForm::DeleteHost)->click();
    EXPECT_EQ(stored("renamed"), HostSecurity{});
    store.sync();
    EXPECT_TRUE(store.allKeys().filter("HostSecurity").isEmpty()) << store.allKeys().join(",").toStdString();
}

TEST_F(LoginFormTest, ASavedHostThatMustBeVerifiedLogsInEncryptedOrSaysWhyNot) {
    DBK_REQUIRE_SERVER();
    if (test::tlsCaFile().empty())
        GTEST_SKIP() << "no encrypted test server";
    const ConnectParams ssl = test::sslUserParams();
    HostFile(hostPath())
        .append(HostRecord{"tls", ssl.host, ssl.user, ssl.password, std::to_string(ssl.port)});
    folder_file::save(folderPath(), FolderNode{"", 0, -1, {FolderNode{"tls", 2, -1, {}}}});

    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    ModalRunner testRunner = setModalRunner([](QDialog& dialog) {
        if (auto* login = qobject_cast<LoginForm*>(&dialog))
            login->button(LoginForm::Connect)->click();
        return dialog.result();
    });
    CDbkeeperDoc doc;
    doc.setLoginPrompt(&LoginForm::prompt);
    struct Case {
        const char* what;
        std::string caFile;
        int outcome;
    };
    const Case cases[] = {
        {"another authority", test::otherTlsCaFile(), CDbkeeperDoc::kNotConnected},
        {"the server's authority", test::tlsCaFile(), CDbkeeperDoc::kAdministrator},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QSettings settings;
        HostSecurity::write(settings, "tls",
                            HostSecurity{TlsMode::Verified, QString::fromStdString(c.caFile)});
        ui->messages.clear();
        EXPECT_EQ(doc.connect(), c.outcome);
        if (c.outcome == CDbkeeperDoc::kNotConnected) {
            EXPECT_TRUE(ui->messages.value(0).startsWith("Error connecting.\n2026:"))
                << ui->messages.value(0).toStdString();
        }
    }
    setModalRunner(testRunner);
    QDir::setCurrent(previous);
    ASSERT_TRUE(doc.connection().isOpen());
    EXPECT_TRUE(doc.connection().isEncrypted());
    Result cipher = doc.connection().query("SHOW SESSION STATUS LIKE 'Ssl_cipher'");
    ASSERT_TRUE(cipher.next());
    EXPECT_NE(cipher.text(1U), "");
    EXPECT_TRUE(dynamic_cast<RecordingStatusPanes&>(doc.statusPanes()).text(2).endsWith("(encrypted)"));
}

TEST_F(LoginFormTest, ThePromptConnectsTheDocumentWithTheChosenHost) {
    DBK_REQUIRE_SERVER();
    const ConnectParams admin = test::adminParams();
    HostFile(hostPath())
        .append(HostRecord{"test", admin.host, admin.user, admin.password, std::to_string(admin.port)});
    folder_file::save(folderPath(), FolderNode{"", 0, -1, {FolderNode{"test", 2, -1, {}}}});

    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    ModalRunner testRunner = setModalRunner([](QDialog& dialog) {
        auto* login = qobject_cast<LoginForm*>(&dialog);
        EXPECT_NE(login, nullptr);
        if (login)
            login->button(LoginForm::Connect)->click();
        return dialog.result();
    });
    CDbkeeperDoc doc;
    doc.setLoginPrompt(&LoginForm::prompt);
    const int outcome = doc.connect();
    setModalRunner(testRunner);
    QDir::setCurrent(previous);
    EXPECT_EQ(outcome, CDbkeeperDoc::kAdministrator);
    EXPECT_EQ(doc.host(), admin.host);
    EXPECT_EQ(doc.port(), std::to_string(admin.port));
}

}  // namespace
}  // namespace dbk
