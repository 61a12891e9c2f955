#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "app/messages.h"
#include "app/qt_translations.h"
#include "transfer/sql_console.h"

namespace dbk {
namespace {

class QtTranslationsTest : public ::testing::Test {
protected:
    void TearDown() override {
        setInterfaceLanguage(Language::English);
        useQtTranslations(Language::English);
    }
};

// Qt's own dialogs are built, never shown: their texts are what a user would see.
TEST_F(QtTranslationsTest, QuestionsAndFileChoosersSpeakTheInterfaceLanguage) {
    struct Case {
        Language language;
        QString yes;
        QString no;
        QString saveTitle;
        QString fileNameLabel;
        QString cancel;
        QString replaceQuestion;
    };
    const Case cases[] = {
        {Language::Japanese, QStringLiteral("はい(&Y)"), QStringLiteral("いいえ(&N)"),
         QStringLiteral("名前を付けて保存"), QStringLiteral("ファイル名(&N):"), QStringLiteral("キャンセル"),
         QStringLiteral("a b.sql は既に存在します。\n置き換えますか?")},
        {Language::English, "&Yes", "&No", "Save As", "File &name:", "Cancel",
         "a b.sql already exists.\nDo you want to replace it?"},
        // and back: a language can be changed again
        {Language::Japanese, QStringLiteral("はい(&Y)"), QStringLiteral("いいえ(&N)"),
         QStringLiteral("名前を付けて保存"), QStringLiteral("ファイル名(&N):"), QStringLiteral("キャンセル"),
         QStringLiteral("a b.sql は既に存在します。\n置き換えますか?")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.language == Language::Japanese ? "Japanese" : "English");
        setInterfaceLanguage(c.language);
        ASSERT_TRUE(useQtTranslations(interfaceLanguage()));

        // what QMessageBox::question builds for a Yes/No question
        QMessageBox question(QMessageBox::Question, "Tolvane Dbkeeper", msg(10058),
                             QMessageBox::Yes | QMessageBox::No);
        ASSERT_NE(question.button(QMessageBox::Yes), nullptr);
        EXPECT_EQ(question.button(QMessageBox::Yes)->text(), c.yes);
        EXPECT_EQ(question.button(QMessageBox::No)->text(), c.no);

        QFileDialog chooser;
        chooser.setOption(QFileDialog::DontUseNativeDialog);
        chooser.setAcceptMode(QFileDialog::AcceptSave);
        EXPECT_EQ(chooser.windowTitle(), c.saveTitle);
        EXPECT_EQ(chooser.labelText(QFileDialog::FileName), c.fileNameLabel);
        auto* buttons = chooser.findChild<QDialogButtonBox*>();
        ASSERT_NE(buttons, nullptr);
        ASSERT_NE(buttons->button(QDialogButtonBox::Cancel), nullptr);
        EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text(), c.cancel);

        // the console asks about a file the chooser did not see in the chooser's words
        EXPECT_EQ(sql_console::replaceQuestion(QStringLiteral("/tmp/dir/a b.sql")), c.replaceQuestion);
    }
}

}  // namespace
}  // namespace dbk
