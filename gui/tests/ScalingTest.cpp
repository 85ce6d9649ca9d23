#include <QCoreApplication>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <gtest/gtest.h>

namespace {

// Scaling state is process-wide and set once, so every case runs the probe
// program in a process of its own.
QMap<QString, QString> runProbe(const QStringList& arguments, const QMap<QString, QString>& variables)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"KD_GUI_SCALING_IGNORE_TOUCH", "KD_GUI_SCALING_FIXED_SIZE", "KD_GUI_SCALING_SCREEN_WIDTH",
                             "KD_GUI_SCALING_SCREEN_HEIGHT", "QT_SCREEN_SCALE_FACTORS", "QT_SCALE_FACTOR",
                             "QT_AUTO_SCREEN_SCALE_FACTOR", "QT_ENABLE_HIGHDPI_SCALING"}) {
        environment.remove(name);
    }
    for (auto it = variables.begin(); it != variables.end(); ++it) {
        environment.insert(it.key(), it.value());
    }
    QProcess probe;
    probe.setProcessEnvironment(environment);
    // A virtual display started alongside other tests can take a moment to
    // accept clients; only that failure is retried.
    bool finished = false;
    QByteArray errors;
    for (int attempt = 0; attempt < 10; ++attempt) {
        probe.start(QStringLiteral(KELDAR_GUI_TEST_HELPER_DIR "/gui-test-ScalingProbe"), arguments);
        finished = probe.waitForFinished(30000);
        errors = probe.readAllStandardError();
        if (!finished || probe.exitCode() == 0 || !errors.contains("could not connect to display")) {
            break;
        }
        QThread::msleep(300);
    }
    QMap<QString, QString> result;
    if (!finished || probe.exitCode() != 0) {
        ADD_FAILURE() << "probe failed: " << errors.toStdString();
        return result;
    }
    for (const QByteArray& line : probe.readAllStandardOutput().split('\n')) {
        const int equals = line.indexOf('=');
        if (equals > 0) {
            result.insert(QString::fromUtf8(line.left(equals)), QString::fromUtf8(line.mid(equals + 1)));
        }
    }
    return result;
}

// The display's own pixel ratio (about 1.04 on a 100-DPI virtual screen),
// measured once by a run without overrides.
double screenRatio()
{
    static const double ratio = runProbe({"init"}, {}).value("factors").toDouble();
    return ratio;
}

QString factor(double value)
{
    return QString::number(value, 'f', 4);
}

} // namespace

TEST(ScaleFactors, OrdinaryScreenGetsItsPixelRatio)
{
    const auto out = runProbe({"init"}, {});
    EXPECT_GE(screenRatio(), 0.5);
    EXPECT_LE(screenRatio(), 4.0);
    EXPECT_EQ(out.value("factors"), out.value("ratio")) << "the toolkit applies exactly our factor";
    EXPECT_EQ(out.value("base"), "54.0000");
}

TEST(ScaleFactors, FixedBaseSizeOverridesTheComputation)
{
    const auto out = runProbe({"init"}, {{"KD_GUI_SCALING_FIXED_SIZE", "81"}});
    EXPECT_EQ(out.value("factors"), "1.5000");
    EXPECT_EQ(out.value("ratio"), "1.5000") << "the toolkit applies the factor";
    EXPECT_EQ(out.value("base"), "54.0000") << "widgets then work in unscaled units";
}

TEST(ScaleFactors, UnparseableValuesAreIgnored)
{
    const auto out = runProbe({"init"}, {{"KD_GUI_SCALING_FIXED_SIZE", "81px"}});
    EXPECT_EQ(out.value("factors"), factor(screenRatio()));
    const auto empty = runProbe({"init"}, {{"KD_GUI_SCALING_FIXED_SIZE", ""}});
    EXPECT_EQ(empty.value("factors"), factor(screenRatio()));
}

TEST(ScaleFactors, ToolkitScaleFactorBecomesOursAndIsRemoved)
{
    const auto out = runProbe({"init"}, {{"QT_SCALE_FACTOR", "2"}});
    EXPECT_EQ(out.value("factors"), factor(2.0 * screenRatio()));
    EXPECT_EQ(out.value("qtScaleFactor"), "<unset>");
    EXPECT_EQ(out.value("ratio"), out.value("factors")) << "applied once, not twice";
}

TEST(MinimumInterfaceSize, TooWideShrinksTheUnitToFitTheWidth)
{
    const auto out = runProbe({"min", "25", "5"},
                              {{"KD_GUI_SCALING_SCREEN_WIDTH", "1000"}, {"KD_GUI_SCALING_SCREEN_HEIGHT", "800"}});
    EXPECT_EQ(out.value("factors"), factor(1000.0 / 25 / 54));
}

TEST(MinimumInterfaceSize, TooTallShrinksTheUnitToFitTheHeightLessTheTitleBar)
{
    const auto out = runProbe({"min", "5", "20"},
                              {{"KD_GUI_SCALING_SCREEN_WIDTH", "1000"}, {"KD_GUI_SCALING_SCREEN_HEIGHT", "800"}});
    // The style's title-bar height (a few dozen pixels) comes off the height.
    const double value = out.value("factors").toDouble();
    EXPECT_LT(value, 800.0 / 20 / 54);
    EXPECT_GT(value, (800.0 - 60) / 20 / 54);
}

TEST(MinimumInterfaceSize, ThatFitsLeavesTheUnitAlone)
{
    const auto out = runProbe({"min", "10", "10"},
                              {{"KD_GUI_SCALING_SCREEN_WIDTH", "1000"}, {"KD_GUI_SCALING_SCREEN_HEIGHT", "800"}});
    EXPECT_EQ(out.value("factors"), factor(screenRatio()));
}

TEST(MinimumInterfaceSize, ScreenOverrideNeedsBothSides)
{
    // Only the width: the real 1920 x 1080 screen is used, where 25 units fit.
    const auto out = runProbe({"min", "25", "5"}, {{"KD_GUI_SCALING_SCREEN_WIDTH", "1000"}});
    EXPECT_EQ(out.value("factors"), factor(screenRatio()));
}

TEST(LateInitialisation, ChangesNothingOnceTheApplicationExists)
{
    const auto out = runProbe({"none"}, {{"KD_GUI_SCALING_FIXED_SIZE", "81"}});
    EXPECT_EQ(out.value("factors"), "<unset>");
    EXPECT_EQ(out.value("base"), "81.0000") << "computed per screen when not initialised";
    EXPECT_EQ(out.value("factorsAfter"), "sentinel");
    EXPECT_EQ(out.value("baseAfter"), "81.0000");
}

TEST(LateInitialisation, SecondCallAfterStartUpChangesNothing)
{
    const auto out = runProbe({"init"}, {{"KD_GUI_SCALING_FIXED_SIZE", "81"}});
    EXPECT_EQ(out.value("factorsAfter"), "sentinel");
    EXPECT_EQ(out.value("baseAfter"), "54.0000");
}

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
