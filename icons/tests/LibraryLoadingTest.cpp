// Loading the shared library is what registers the icons: a program that only
// loads it (as the viewer does through its link dependency) finds them without
// calling anything. This executable is not linked with the library on purpose.

#include <QCoreApplication>
#include <QFile>
#include <QLibrary>

#include <gtest/gtest.h>

namespace {

const QString probe = QStringLiteral(":/keldar-icons/Capture/Record.svg");

TEST(LibraryLoading, IconsAppearWhenTheLibraryIsLoaded)
{
    ASSERT_FALSE(QFile::exists(probe)) << "the test must start without the icon library";

    QLibrary library(QStringLiteral(KELDAR_ICONS_LIBRARY));
    ASSERT_TRUE(library.load()) << library.errorString().toStdString();
    EXPECT_TRUE(QFile::exists(probe));
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/keldar-icons/Logos/LumivaneLogo.svg")));

    using Initialise = void (*)();
    auto initialise = reinterpret_cast<Initialise>(library.resolve("KD_Icons_initialise"));
    ASSERT_NE(initialise, nullptr) << "the entry point must be exported with C linkage";
    initialise();
    EXPECT_TRUE(QFile::exists(probe));
}

} // namespace
