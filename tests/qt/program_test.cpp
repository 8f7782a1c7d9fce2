// The built program as a process of its own, on its command line: what it prints where, and its
// exit status. None of these rows gets as far as a window.
#include <QProcess>
#include <gtest/gtest.h>

namespace {

TEST(CommandLine, HelpAndVersionAnswerOnStandardOutputAnythingElseIsAUsageError) {
    const struct {
        QStringList args;
        int status;
        QByteArray out; // how standard output starts
        QByteArray err; // how standard error starts
    } rows[] = {
        {{"--help"}, 0, "使い方: pikorina [--help | --version]\n", ""},
        {{"--version"}, 0, "pikorina " PIKORINA_VERSION "\n", ""},
        {{"--bogus"}, 2, "", "pikorina: 不明な引数です: --bogus\n\n使い方: pikorina"},
        {{"Setup.ini"}, 2, "", "pikorina: 不明な引数です: Setup.ini\n"},
        {{"-h"}, 2, "", "pikorina: 不明な引数です: -h\n"},
        {{"--help", "--bogus"}, 2, "", "pikorina: 不明な引数です: --bogus\n"},
        // Qt's own options, with a value or without, are Qt's: they pass.
        {{"-platform", "offscreen", "--version"}, 0, "pikorina ", ""},
        {{"--platform", "offscreen", "-reverse", "--help"}, 0, "使い方: ", ""},
        {{"-style=Fusion", "--version"}, 0, "pikorina ", ""},
        // An option Qt documents but this platform does not take is left over, and refused.
        {{"-platform", "offscreen", "-display", ":0"},
         2,
         "",
         "pikorina: 不明な引数です: -display\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args.join(' ').toStdString());
        QProcess program;
        program.start(PIKORINA_PROGRAM, row.args);
        ASSERT_TRUE(program.waitForFinished(60000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), row.status);
        const QByteArray out = program.readAllStandardOutput();
        const QByteArray err = program.readAllStandardError();
        // An empty expectation means nothing at all on that stream.
        EXPECT_TRUE(row.out.isEmpty() ? out.isEmpty() : out.startsWith(row.out)) << out.data();
        EXPECT_TRUE(row.err.isEmpty() ? err.isEmpty() : err.startsWith(row.err)) << err.data();
    }
}

} // namespace
