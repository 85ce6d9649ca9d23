// The icon library registers its resources on its own, and every path the
// viewer's code names resolves to a usable file.

#include "IconTestSupport.h"

#include <keldar/icons/Icons.h>

#include <QFile>
#include <QSvgRenderer>

#include <gtest/gtest.h>

using namespace Keldar::Icons::Testing;

namespace {

class ResourceRegistration : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ensureGuiApplication();
        // Deliberately no Q_INIT_RESOURCE: linking the library must be enough.
        KD_Icons_initialise();
    }
};

TEST_F(ResourceRegistration, EveryNamedIconExistsWithoutExplicitInitialisation)
{
    for (const QString& path : iconPaths())
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
}

TEST_F(ResourceRegistration, EveryNamedIconIsAValidSvg)
{
    for (const QString& path : iconPaths()) {
        const QByteArray source = readResource(path);
        ASSERT_FALSE(source.isEmpty()) << path.toStdString();
        QSvgRenderer renderer(source);
        EXPECT_TRUE(renderer.isValid()) << path.toStdString();
    }
}

// A misspelt file name would leave one path missing and one unused file behind;
// comparing both directions names the culprit.
TEST_F(ResourceRegistration, RegisteredSetMatchesTheNamedPaths)
{
    QStringList named = iconPaths();
    named.sort();
    const QStringList registered = registeredSvgPaths();
    for (const QString& path : registered)
        EXPECT_TRUE(named.contains(path)) << "registered but never named: " << path.toStdString();
    for (const QString& path : named)
        EXPECT_TRUE(registered.contains(path)) << "named but not registered: " << path.toStdString();
}

TEST_F(ResourceRegistration, PathWithoutSlashAfterColonResolvesToTheSameFile)
{
    const QString written = QStringLiteral(":keldar-icons/Playback/Loop.svg");
    ASSERT_TRUE(QFile::exists(written));
    EXPECT_EQ(readResource(written), readResource(QStringLiteral(":/keldar-icons/Playback/Loop.svg")));
    QSvgRenderer renderer(readResource(written));
    EXPECT_TRUE(renderer.isValid());
}

TEST_F(ResourceRegistration, SvgWidgetsCanOpenIconsThroughQFile)
{
    // The toolkit's widgets open icons as QFile for reading; a resource that
    // exists but cannot be opened would throw there.
    QFile file(QStringLiteral(":/keldar-icons/General/SettingsCog.svg"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_GT(file.size(), 100);
}

TEST_F(ResourceRegistration, UnknownIconPathDoesNotResolve)
{
    // Guards the checks above against a resource system that answers yes to anything.
    EXPECT_FALSE(QFile::exists(QStringLiteral(":/keldar-icons/General/NoSuchIcon.svg")));
    EXPECT_FALSE(QFile::exists(QStringLiteral(":keldar-icons/Playback/NoSuchIcon.svg")));
}

} // namespace
