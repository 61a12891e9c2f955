#include "monitor/system_variables.h"

#include <algorithm>
#include <array>

#include "conn/connection.h"

namespace dbk {

namespace {

struct Explanation {
    const char* name;
    // nullptr: nothing is known about it yet; the unknown text is shown.
    const char* japanese;
    const char* english;
};

// clang-format off
constexpr std::array<Explanation, 64> kExplanations{{
    {"wait_timeout", "タイムアウトの時間", "Time-out period"},
    {"version", "サーバのバージョン", "Server version"},
    {"tmpdir", "一時ファイルを作成するディレクトリ", "Directory for temporary files"},
    {"tmp_table_size", "メモリ上の一時テーブルの最大サイズ(超えるとディスクに書き出す)", "Largest in-memory temporary table (larger ones go to disk)"},
    {"timezone", "サーバのタイムゾーン", "Time zone of the server"},
    {"thread_cache_size", "再利用のためにキャッシュしておくスレッド数", "Threads kept in a cache for reuse"},
    {"thread_stack", "スレッドごとのスタックサイズ", "Stack size of each thread"},
    {"table_cache", "同時にオープンできる最大テーブル数", "Most tables that can be open at once"},
    {"sort_buffer", "取得したデータをソートした時のバッファサイズ(isamchkのみ)", "Buffer size for sorting fetched data (isamchk only)"},
    {"socket", "ローカル接続に使うソケットファイル", "Socket file for local connections"},
    {"slow_launch_time", "スレッドの作成に値(秒)より時間がかかれば、Slow_launch_threads カウンターが増やす", "A thread that takes longer than this many seconds to create increments the Slow_launch_threads counter"},
    {"skip_show_database", "SHOW DATABASES を権限のあるユーザだけに許可するか？(ONの場合制限する)", "Restrict SHOW DATABASES to privileged users? (restricted when ON)"},
    {"skip_networking", "TCP/IP の接続を受け付けないか？(ONの場合ローカル接続のみ)", "Refuse TCP/IP connections? (local connections only when ON)"},
    {"skip_locking", "外部のロックを使用するか？(OFFの場合使用する)", "Use external locking? (used when OFF)"},
    {"record_buffer", "テーブルを順に読み込む時のバッファサイズ", "Buffer size for reading a table sequentially"},
    {"protocol_version", "クライアントとの通信プロトコルのバージョン", "Version of the client/server protocol"},
    {"port", "接続を待ち受ける TCP/IP のポート番号", "TCP/IP port the server listens on"},
    {"pid_file", "プロセスIDを書き込むファイル", "File the server writes its process id to"},
    {"net_retry_count", "リトライ回数 (FreeBSDの場合この値は高くしなくてはならない)", "Retry count (must be set high on FreeBSD)"},
    {"net_buffer_length", "通信バッファの初期サイズ(max_allowed_packet まで大きくなる)", "Initial size of the communication buffer (grows up to max_allowed_packet)"},
    {"myisam_sort_buffer_size", "インデックスの作成・修復時のソートに使うバッファサイズ", "Buffer for sorting when indexes are created or repaired"},
    {"myisam_recover_options", "壊れた MyISAM テーブルを自動で修復する方法", "How crashed MyISAM tables are repaired automatically"},
    {"max_write_lock_count", nullptr, nullptr},
    {"max_tmp_tables", "クライアントが同時に開ける一時テーブルの最大数", "Most temporary tables a client can keep open at once"},
    {"max_sort_length", "BLOB・TEXT の値をソートする時に使う先頭のバイト数", "Leading bytes of BLOB and TEXT values used for sorting"},
    {"max_join_size", "結合で読み込む行数の上限(超えるクエリはエラーになる)", "Most rows a join may read (larger queries are refused)"},
    {"max_heap_table_size", "HEAP テーブルの最大サイズ", "Largest size of a HEAP table"},
    {"max_delayed_threads", "INSERT DELAYED を処理するスレッドの最大数", "Most threads handling INSERT DELAYED"},
    {"max_connect_errors", "接続エラーが値を超えたホストからの接続を拒否する(FLUSH HOSTSで解除)", "A host with more connect errors than this is refused (FLUSH HOSTS clears it)"},
    {"max_connections", "同時に接続できる最大クライアント数", "Most clients connected at once"},
    {"max_allowed_packet", "入力されるデータを格納する最大バッファサイズ", "Largest buffer for incoming data"},
    {"lower_case_table_names", nullptr, nullptr},
    {"low_priority_updates", nullptr, nullptr},
    {"long_query_time", "クエリが値(秒)より時間がかかれば、Slow_queries カウンターが増やす", "A query that takes longer than this many seconds increments the Slow_queries counter"},
    {"log_slave_updates", nullptr, nullptr},
    {"log_bin", "バイナリログを記録しているか？", "Is the binary log written?"},
    {"log_update", "更新ログを記録しているか？", "Is the update log written?"},
    {"log", "全てのクエリをログに記録しているか？", "Are all queries written to the log?"},
    {"locked_in_memory", "mysqld をメモリにロックしているか？(--memlock)", "Is mysqld locked in memory? (--memlock)"},
    {"language", "エラーメッセージの言語ファイルのディレクトリ", "Directory of the error message language"},
    {"key_buffer_size", "インデックスブロックのバッファサイズ(全スレッドで共有)", "Buffer for index blocks, shared by all threads"},
    {"interactive_timeout", nullptr, nullptr},
    {"init_file", "起動時に実行する SQL ファイル", "SQL file run when the server starts"},
    {"flush_time", "値(秒)ごとに全テーブルを閉じてディスクに書き出す(0は行わない)", "Every this many seconds all tables are closed and written to disk (0: never)"},
    {"flush", "SQL 文ごとに変更をディスクに書き出すか？", "Are changes written to disk after every statement?"},
    {"join_buffer_size", "インデックスを使わない結合のバッファサイズ", "Buffer for joins that use no index"},
    {"delayed_queue_size", "INSERT DELAYED で待たせておける最大行数", "Most rows INSERT DELAYED can queue"},
    {"delayed_insert_timeout", "INSERT DELAYED のスレッドが次の行を待つ時間(秒)", "Seconds an INSERT DELAYED thread waits for more rows"},
    {"delayed_insert_limit", "INSERT DELAYED で値の行数を挿入するごとに待っている SELECT を実行する", "After this many delayed rows the waiting SELECTs run"},
    {"delay_key_write", nullptr, nullptr},
    {"datadir", "データベースを格納するディレクトリ", "Directory holding the databases"},
    {"concurrent_insert", "読み込み中の MyISAM テーブルへの INSERT を許可するか？", "May rows be inserted into a MyISAM table while it is read?"},
    {"connect_timeout", "接続時のハンドシェイクを待つ時間(秒)", "Seconds to wait for a client's connect handshake"},
    {"character_sets", "サーバで使用できるキャラクタセット", "Character sets the server can use"},
    {"character_set", "サーバのデフォルトのキャラクタセット", "Default character set of the server"},
    {"basedir", "MySQL のインストールディレクトリ", "Installation directory of the server"},
    {"back_log", "接続待ちのキューに入れておける接続要求の数", "Connection requests that can wait in the queue"},
    {"ansi_mode", "ANSI モードで動作しているか？", "Does the server run in ANSI mode?"},
    {"have_bdb", "BDB テーブルを使用できるか？", "Can BDB tables be used?"},
    {"have_raid", "RAID オプションを使用できるか？", "Can the RAID table option be used?"},
    {"have_ssl", "SSL で接続できるか？", "Can clients connect with SSL?"},
    {"table_type", "デフォルトのテーブルの種類", "Default table type"},
    {"server_id", "サーバＩＤ", "Server ID"},
    {"open_file_limit", "ファイルオープンの制限値　（０はＯＳのファイルオープンの制限値が適応される）", "Open-file limit (0: the operating system's limit applies)"},
}};
// clang-format on

}  // namespace

std::vector<ServerVariable> readServerVariables(Connection& connection) {
    std::vector<ServerVariable> variables;
    Result rows = connection.query("SHOW VARIABLES");
    if (!rows.ok() || rows.fieldCount() < 2)
        return variables;
    while (rows.next())
        variables.push_back({std::string(rows.text(0U)), std::string(rows.text(1U))});
    std::stable_sort(variables.begin(), variables.end(),
                     [](const ServerVariable& a, const ServerVariable& b) { return a.name < b.name; });
    return variables;
}

std::vector<std::string_view> explainedVariables() {
    std::vector<std::string_view> names;
    for (const Explanation& e : kExplanations)
        names.emplace_back(e.name);
    return names;
}

QString unknownVariableExplanation(Language language) {
    return language == Language::Japanese ? QStringLiteral("不明（現在調査中)")
                                          : QStringLiteral("Unknown (under investigation)");
}

QString variableExplanation(std::string_view name, Language language) {
    for (const Explanation& e : kExplanations) {
        if (name != e.name)
            continue;
        if (!e.japanese)
            break;
        return QString::fromUtf8(language == Language::Japanese ? e.japanese : e.english);
    }
    return unknownVariableExplanation(language);
}

}  // namespace dbk
