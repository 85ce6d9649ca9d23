#include <keldar/gui/UpdateChecker.h>

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <signal.h>

using Keldar::GUI::Tools::UpdateChecker;

namespace {

// Stand-in maintenance programs: small shell scripts that record their
// arguments and answer as the installer's program would.
class UpdateCheckerTest : public ::testing::Test
{
protected:
    std::string script(const QString& name, const QByteArray& body, bool executable = true)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\necho \"$@\" > \"$0.args\"\n" + body + "\n");
        file.close();
        if (executable) {
            file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        return path.toStdString();
    }

    QByteArray argumentsSeenBy(const std::string& program)
    {
        QFile file(QString::fromStdString(program) + ".args");
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray("<not run>");
    }

    // Waits for the check to end and for any signal it sends to arrive.
    void waitForCheck()
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !checker.isChecking(); }, 10000));
        QTest::qWait(50);
    }

    QTemporaryDir dir;
    UpdateChecker checker;
    QSignalSpy available{&checker, &UpdateChecker::updateAvailable};
    QSignalSpy none{&checker, &UpdateChecker::noUpdatesAvailable};
    QSignalSpy failed{&checker, &UpdateChecker::error};
};

} // namespace

TEST_F(UpdateCheckerTest, MissingProgramReportsErrorAtOnceWithoutAProcess)
{
    checker.checkForUpdate(dir.filePath("maintenancetool").toStdString());
    EXPECT_EQ(failed.count(), 1) << "before any event loop runs";
    EXPECT_FALSE(checker.isChecking());
    checker.checkForUpdate("");
    EXPECT_EQ(failed.count(), 2);
    EXPECT_EQ(available.count() + none.count(), 0);
}

TEST_F(UpdateCheckerTest, UpdatesInTheOutputMeanAnUpdateIsAvailable)
{
    const auto program = script("tool", "echo '<updates><update name=\"viewer\" version=\"2.0\"/></updates>'\nexit 0");
    checker.checkForUpdate(program);
    ASSERT_TRUE(available.wait(10000));
    waitForCheck();
    EXPECT_EQ(available.count(), 1);
    EXPECT_EQ(none.count() + failed.count(), 0);
    EXPECT_EQ(argumentsSeenBy(program), "ch");
}

TEST_F(UpdateCheckerTest, CleanExitWithoutUpdatesMeansNone)
{
    checker.checkForUpdate(script("tool", "echo 'There are currently no updates available.'\nexit 0"));
    ASSERT_TRUE(none.wait(10000));
    waitForCheck();
    EXPECT_EQ(available.count() + failed.count(), 0);
}

TEST_F(UpdateCheckerTest, MarkerIsCaseSensitive)
{
    checker.checkForUpdate(script("tool", "echo '<UPDATES>'\nexit 0"));
    ASSERT_TRUE(none.wait(10000));
    EXPECT_EQ(available.count(), 0);
}

TEST_F(UpdateCheckerTest, NonZeroExitIsAnErrorEvenWithTheMarker)
{
    checker.checkForUpdate(script("tool", "echo '<updates></updates>'\nexit 3"));
    ASSERT_TRUE(failed.wait(10000));
    waitForCheck();
    EXPECT_EQ(failed.count(), 1);
    EXPECT_EQ(available.count() + none.count(), 0);
}

TEST_F(UpdateCheckerTest, CrashedProgramReportsNothing)
{
    const auto program = script("tool", "echo '<updates></updates>'\nkill -SEGV $$");
    checker.checkForUpdate(program);
    waitForCheck();
    QTest::qWait(200);
    EXPECT_EQ(argumentsSeenBy(program), "ch") << "the stand-in did run";
    EXPECT_EQ(available.count() + none.count() + failed.count(), 0);
}

TEST_F(UpdateCheckerTest, ProgramThatCannotStartIsAnError)
{
    checker.checkForUpdate(script("tool", "exit 0", false));
    ASSERT_TRUE(failed.wait(10000));
    EXPECT_EQ(available.count() + none.count(), 0);
}

TEST_F(UpdateCheckerTest, CheckerCanBeReused)
{
    checker.checkForUpdate(script("first", "exit 0"));
    ASSERT_TRUE(none.wait(10000));
    waitForCheck();
    checker.checkForUpdate(script("second", "echo '<updates>'"));
    ASSERT_TRUE(available.wait(10000));
}

TEST(UpdateCheckerLifetime, DestroyingDuringACheckEndsTheProgram)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("slow");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    // Reports its process id, then lasts an hour unless it is ended.
    file.write("#!/bin/sh\necho $$ > \"$0.pid\"\nexec sleep 3600\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile pidFile(path + ".pid");
    qint64 pid = 0;
    {
        UpdateChecker checker;
        checker.checkForUpdate(path.toStdString());
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                pidFile.close();
                pid = pidFile.open(QIODevice::ReadOnly) ? pidFile.readAll().trimmed().toLongLong() : 0;
                return pid > 0;
            },
            5000));
        ASSERT_TRUE(checker.isChecking());
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return ::kill(static_cast<pid_t>(pid), 0) != 0; }, 10000))
        << "the program outlived the checker";
}

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
