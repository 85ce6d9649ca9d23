#include <keldar/gui/StylesheetParser.h>
#include <keldar/gui/ThemeManager.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using Keldar::GUI::Theming::StylesheetParser;
using Keldar::GUI::Theming::ThemeManager;

namespace {

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& content)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        ADD_FAILURE() << "cannot write " << path.toStdString();
        return path;
    }
    file.write(content);
    return path;
}

const QStringList themeVariables = {
    "@primaryBackground", "@secondaryBackground", "@primaryForeground",    "@secondaryForeground", "@accent",
    "@foregroundAccent",  "@imageColourName",     "@imageColourAccentName"};

} // namespace

TEST(ThemeSubstitution, ReplacesEveryOccurrenceOfAVariable)
{
    QTemporaryDir dir;
    StylesheetParser parser;
    ASSERT_TRUE(
        parser.loadStylesheet(writeFile(dir, "a.css", "QLabel { color: @fg; }\nQFrame { border-color: @fg; }")));
    ASSERT_TRUE(parser.loadTheme(writeFile(dir, "t.less", "@fg: #123456;\n")));
    EXPECT_EQ(parser.getCss(), "QLabel { color: #123456; }\nQFrame { border-color: #123456; }");
}

TEST(ThemeSubstitution, BracketedAlphaBecomesRgbaOfTheColour)
{
    QTemporaryDir dir;
    StylesheetParser parser;
    ASSERT_TRUE(
        parser.loadStylesheet(writeFile(dir, "a.css", "a { color: @accent[0.5]; b: @accent; c: @accent[0.25]; }")));
    ASSERT_TRUE(parser.loadTheme(writeFile(dir, "t.less", "@accent: #1E90FF;\n")));
    EXPECT_EQ(parser.getCss(), "a { color: rgba(30, 144, 255, 0.5); b: #1E90FF; c: rgba(30, 144, 255, 0.25); }");
}

TEST(ThemeSubstitution, NamedColoursAlsoTakeTheBracketedForm)
{
    QTemporaryDir dir;
    StylesheetParser parser;
    ASSERT_TRUE(parser.loadStylesheet(writeFile(dir, "a.css", "x: @image[0.1];")));
    ASSERT_TRUE(parser.loadTheme(writeFile(dir, "t.less", "@image: White;\n")));
    EXPECT_EQ(parser.getCss(), "x: rgba(255, 255, 255, 0.1);");
}

TEST(ThemeSubstitution, NonColourValueIsSubstitutedLiterallyWithBracketsKept)
{
    QTemporaryDir dir;
    StylesheetParser parser;
    ASSERT_TRUE(parser.loadStylesheet(writeFile(dir, "a.css", "w: @size[2];")));
    ASSERT_TRUE(parser.loadTheme(writeFile(dir, "t.less", "@size: 12px;\n")));
    EXPECT_EQ(parser.getCss(), "w: 12px[2];");
}

TEST(ThemeSubstitution, IsCaseSensitive)
{
    QTemporaryDir dir;
    StylesheetParser parser;
    ASSERT_TRUE(parser.loadStylesheet(writeFile(dir, "a.css", "@Accent @accent")));
    ASSERT_TRUE(parser.loadTheme(writeFile(dir, "t.less", "@accent: red;\n")));
    EXPECT_EQ(parser.getCss(), "@Accent red");
}

TEST(ThemeSubstitution, NamePrefixOfAnotherDoesNotCorruptTheLongerOne)
{
    QTemporaryDir dir;
    StylesheetParser parser;
    ASSERT_TRUE(parser.loadStylesheet(writeFile(dir, "a.css", "@bg @bgDark")));
    ASSERT_TRUE(parser.loadTheme(writeFile(dir, "t.less", "@bg: #111111;\n@bgDark: #222222;\n")));
    EXPECT_EQ(parser.getCss(), "#111111 #222222");
}

TEST(ThemeSubstitution, GetCssLeavesTheStoredTextUnchanged)
{
    QTemporaryDir dir;
    StylesheetParser parser;
    ASSERT_TRUE(parser.loadStylesheet(writeFile(dir, "a.css", "c: @fg;")));
    ASSERT_TRUE(parser.loadTheme(writeFile(dir, "t.less", "@fg: #000001;\n")));
    (void)parser.getCss();
    EXPECT_EQ(parser.getStylesheetText(), "c: @fg;");
    ASSERT_TRUE(parser.loadTheme(writeFile(dir, "u.less", "@fg: #000002;\n")));
    EXPECT_EQ(parser.getCss(), "c: #000002;");
}

TEST(ThemeFileParsing, LineWithoutSeparatorStoresItselfAsNameAndValue)
{
    QTemporaryDir dir;
    StylesheetParser parser;
    ASSERT_TRUE(parser.loadTheme(writeFile(dir, "t.less", "@odd;\n@accent: #1E90FF;\n")));
    const auto variables = parser.getVariables();
    ASSERT_TRUE(variables.contains("@odd"));
    EXPECT_EQ(variables.value("@odd"), "@odd");
    EXPECT_EQ(variables.value("@accent"), "#1E90FF");
}

TEST(ThemeFileParsing, CrLfLineEndingsAndBlankLinesAreTolerated)
{
    QTemporaryDir dir;
    StylesheetParser parser;
    ASSERT_TRUE(parser.loadTheme(writeFile(dir, "t.less", "@a: #010203;\r\n\r\n@b: Blue; \r\n")));
    const auto variables = parser.getVariables();
    EXPECT_EQ(variables.size(), 2);
    EXPECT_EQ(variables.value("@a"), "#010203");
    EXPECT_EQ(variables.value("@b"), "Blue");
    EXPECT_EQ(parser.getThemeColour("@a"), QColor(1, 2, 3));
}

TEST(ThemeFileParsing, LaterThemeOverwritesOnlyTheNamesItAssigns)
{
    QTemporaryDir dir;
    StylesheetParser parser;
    ASSERT_TRUE(parser.loadTheme(writeFile(dir, "t.less", "@a: #000001;\n@b: #000002;\n")));
    ASSERT_TRUE(parser.loadTheme(writeFile(dir, "u.less", "@b: #000003;\n")));
    EXPECT_EQ(parser.getVariables().value("@a"), "#000001");
    EXPECT_EQ(parser.getVariables().value("@b"), "#000003");
}

TEST(ThemeFileParsing, UnopenableFilesReturnFalseAndChangeNothing)
{
    QTemporaryDir dir;
    StylesheetParser parser;
    ASSERT_TRUE(parser.loadStylesheet(writeFile(dir, "a.css", "c: @fg;")));
    ASSERT_TRUE(parser.loadTheme(writeFile(dir, "t.less", "@fg: #000001;\n")));
    EXPECT_FALSE(parser.loadStylesheet(dir.filePath("missing.css")));
    EXPECT_FALSE(parser.loadTheme(dir.filePath("missing.less")));
    EXPECT_EQ(parser.getCss(), "c: #000001;");
}

TEST(ThemeFileParsing, StylesheetsConcatenateInOrderUntilCleared)
{
    QTemporaryDir dir;
    StylesheetParser parser;
    ASSERT_TRUE(parser.loadStylesheet(writeFile(dir, "a.css", "A;")));
    ASSERT_TRUE(parser.loadStylesheet(writeFile(dir, "b.css", "B;")));
    EXPECT_EQ(parser.getStylesheetText(), "A;B;");
    parser.clearStyles();
    EXPECT_EQ(parser.getStylesheetText(), "");
    ASSERT_TRUE(parser.loadStylesheet(writeFile(dir, "b.css", "B;")));
    EXPECT_EQ(parser.getStylesheetText(), "B;");
}

TEST(ThemeColours, UnknownVariableIsBlack)
{
    StylesheetParser parser;
    EXPECT_EQ(parser.getThemeColour("@nothing"), QColor(Qt::black));
}

struct ThemeExpectation
{
    int number;
    const char* path;
    QStringList values;
};

class ThemeFiles : public ::testing::TestWithParam<ThemeExpectation>
{
};

TEST_P(ThemeFiles, AssignAllEightVariablesWithTheirColours)
{
    const auto& expectation = GetParam();
    ASSERT_EQ(ThemeManager::themeFilePath(expectation.number), expectation.path);
    StylesheetParser parser;
    ASSERT_TRUE(parser.loadTheme(expectation.path));
    const auto variables = parser.getVariables();
    EXPECT_EQ(variables.size(), themeVariables.size());
    for (int i = 0; i < themeVariables.size(); ++i) {
        const QByteArray name = themeVariables[i].toUtf8();
        EXPECT_EQ(variables.value(name), expectation.values[i]) << name.constData();
        EXPECT_TRUE(parser.getThemeColour(themeVariables[i]).isValid()) << name.constData();
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllThemes, ThemeFiles,
    ::testing::Values(
        ThemeExpectation{0,
                         ":/keldar-gui/theming/themes/dark.less",
                         {"#4C4C4C", "#222222", "#FFFFFF", "#969696", "#1E90FF", "#FFFFFF", "White", "White"}},
        ThemeExpectation{1,
                         ":/keldar-gui/theming/themes/light.less",
                         {"#F7F7F7", "#D8D8D8", "#555555", "#9C9C9C", "#1E90FF", "#FFFFFF", "DarkGrey", "White"}},
        ThemeExpectation{2,
                         ":/keldar-gui/theming/themes/midnight.less",
                         {"#293244", "#1B212D", "#FFFFFF", "#969696", "#1E90FF", "#FFFFFF", "White", "White"}},
        ThemeExpectation{3,
                         ":/keldar-gui/theming/themes/forest.less",
                         {"#3B7054", "#264836", "#FFFFFF", "#81D2A7", "#AA672A", "#FFFFFF", "White", "White"}}));

TEST(BaseStylesheet, LeavesNoVariableUnsubstitutedInAnyTheme)
{
    for (int theme = 0; theme < 4; ++theme) {
        StylesheetParser parser;
        ASSERT_TRUE(parser.loadStylesheet(ThemeManager::baseStylesheetPath()));
        ASSERT_TRUE(parser.loadTheme(ThemeManager::themeFilePath(theme)));
        const QString css = parser.getCss();
        EXPECT_FALSE(css.contains('@')) << "theme " << theme;
        EXPECT_TRUE(css.contains("[class=\"inverted\"]"));
    }
}

class ThemeManagerTest : public ::testing::Test
{
protected:
    void TearDown() override { qApp->setStyleSheet({}); }
};

TEST_F(ThemeManagerTest, InstallsTheDarkThemeAtConstruction)
{
    ThemeManager manager(qApp);
    EXPECT_EQ(manager.getTheme(), ThemeManager::Dark);
    EXPECT_EQ(qApp->styleSheet(), manager.getCss());
    EXPECT_TRUE(qApp->styleSheet().contains("#4C4C4C"));
    EXPECT_EQ(manager.getThemeColour("@primaryForeground"), QColor("#FFFFFF"));
}

TEST_F(ThemeManagerTest, SwitchingToLightChangesEveryVariable)
{
    ThemeManager manager(qApp);
    StylesheetParser dark;
    ASSERT_TRUE(dark.loadTheme(ThemeManager::themeFilePath(ThemeManager::Dark)));
    manager.setTheme(ThemeManager::Light);
    EXPECT_EQ(manager.getTheme(), ThemeManager::Light);
    for (const QString& name : themeVariables) {
        if (name == "@accent" || name == "@foregroundAccent" || name == "@imageColourAccentName") {
            continue; // the two themes share these values
        }
        EXPECT_NE(manager.getThemeColour(name), dark.getThemeColour(name)) << name.toStdString();
    }
    EXPECT_EQ(manager.getThemeColour("@primaryBackground"), QColor("#F7F7F7"));
    EXPECT_FALSE(qApp->styleSheet().contains("#4C4C4C"));
}

TEST_F(ThemeManagerTest, ForegroundRuleGetsLightGreyUnderLightTheme)
{
    QTemporaryDir dir;
    ThemeManager manager(qApp);
    ASSERT_TRUE(
        manager.addSupplementalStylesheet(writeFile(dir, "app.css", "QLabel#probe { color: @primaryForeground; }")));
    EXPECT_FALSE(qApp->styleSheet().contains("QLabel#probe")) << "installed only with the next setTheme";
    manager.setTheme(ThemeManager::Light);
    EXPECT_TRUE(qApp->styleSheet().contains("QLabel#probe { color: #555555; }"));
}

TEST_F(ThemeManagerTest, OutOfRangeThemeKeepsColours)
{
    ThemeManager manager(qApp);
    manager.setTheme(ThemeManager::Forest);
    manager.setTheme(9);
    EXPECT_EQ(manager.getTheme(), ThemeManager::Forest);
    EXPECT_EQ(manager.getThemeColour("@accent"), QColor("#AA672A"));
}

TEST_F(ThemeManagerTest, ClearingSupplementalStylesKeepsTheBase)
{
    QTemporaryDir dir;
    ThemeManager manager(qApp);
    ASSERT_TRUE(manager.addSupplementalStylesheet(writeFile(dir, "app.css", "QLabel#probe { color: red; }")));
    manager.setTheme(ThemeManager::Dark);
    ASSERT_TRUE(qApp->styleSheet().contains("QLabel#probe"));
    manager.clearSupplementalStyles();
    manager.setTheme(ThemeManager::Dark);
    EXPECT_FALSE(qApp->styleSheet().contains("QLabel#probe"));
    EXPECT_TRUE(qApp->styleSheet().contains("[class=\"inverted\"]"));
}

QStringList& styleWarnings()
{
    static QStringList warnings;
    return warnings;
}

void collectStyleWarnings(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtWarningMsg && message.contains("style", Qt::CaseInsensitive)) {
        styleWarnings() << message;
    }
}

TEST_F(ThemeManagerTest, EveryThemeInstallsAStylesheetTheToolkitCanParse)
{
    ThemeManager manager(qApp);
    for (int theme = 0; theme < 4; ++theme) {
        styleWarnings().clear();
        manager.setTheme(theme);
        QWidget container;
        container.setProperty("class", "inverted");
        auto* button = new QPushButton("b", &container);
        auto* label = new QLabel("l", &container);
        container.ensurePolished();
        button->ensurePolished();
        label->ensurePolished();
        EXPECT_TRUE(styleWarnings().isEmpty()) << "theme " << theme << ": " << styleWarnings().join('\n').toStdString();
    }
}

TEST_F(ThemeManagerTest, ContainerLayersSwapTheBackgrounds)
{
    ThemeManager manager(qApp);
    QWidget normal;
    auto* normalButton = new QPushButton("b", &normal);
    QWidget inverted;
    inverted.setProperty("class", "inverted");
    auto* invertedButton = new QPushButton("b", &inverted);
    auto* nested = new QWidget(&inverted);
    nested->setProperty("class", "normal");
    auto* nestedButton = new QPushButton("b", nested);
    for (QWidget* w : {&normal, &inverted}) {
        w->resize(100, 60);
        w->ensurePolished();
    }
    const auto backgroundOf = [](QWidget* w) {
        w->ensurePolished();
        const QImage image = w->grab().toImage();
        return image.pixelColor(image.width() / 2, image.height() - 2);
    };
    const QColor primary = manager.getThemeColour("@primaryBackground");
    const QColor secondary = manager.getThemeColour("@secondaryBackground");
    nested->setGeometry(0, 0, 50, 20); // leaves the inverted container's lower part uncovered
    for (QPushButton* b : {normalButton, invertedButton, nestedButton}) {
        b->resize(60, 30);
    }
    EXPECT_EQ(backgroundOf(&normal), primary);
    EXPECT_EQ(backgroundOf(normalButton), secondary);
    EXPECT_EQ(backgroundOf(&inverted), secondary);
    EXPECT_EQ(backgroundOf(invertedButton), primary);
    EXPECT_EQ(backgroundOf(nestedButton), secondary) << "a normal container inside an inverted one";
}

int main(int argc, char** argv)
{
    qInstallMessageHandler(collectStyleWarnings);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
