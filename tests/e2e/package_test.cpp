// Installing and packaging: what `cmake --install` puts where, and the Debian package built from debian/
// (scripts/build-package.sh, which `make test` runs first): it names the Debian package of every library
// the program links, passes Debian's own checks and runs from wherever it is unpacked.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "image.h"
#include "program_runner.h"
#include "user_run.h"
#include "x_session.h"

namespace {

std::string quoted(const std::string& text) {
    return "'" + text + "'";
}

std::string fileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\n");
    const size_t last = text.find_last_not_of(" \t\n");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// "a | b (>= 1), c" as groups of alternatives, versions left out: {{a, b}, {c}}.
std::vector<std::vector<std::string>> dependencyGroups(const std::string& field) {
    std::vector<std::vector<std::string>> groups;
    std::stringstream all(field);
    std::string group;
    while (std::getline(all, group, ',')) {
        groups.emplace_back();
        std::stringstream alternatives(group);
        std::string name;
        while (std::getline(alternatives, name, '|')) {
            groups.back().push_back(trimmed(name.substr(0, name.find('('))));
        }
    }
    return groups;
}

// The installed package that owns a library file, or "" when none does. Debian lists some libraries
// under /lib and some under /usr/lib, and the link the loader opens may belong to another package than
// the file it points to (sdl12-compat's shim): the link's path is asked first, in both places, then
// its real path.
std::string owningPackage(const std::string& library) {
    std::error_code error;
    const std::string real = std::filesystem::canonical(library, error).string();
    const std::string merged = library.rfind("/lib/", 0) == 0 ? "/usr" + library : library;
    for (const std::string& path : {library, merged, real}) {
        int status = 0;
        const std::string answer = commandOutput("dpkg -S " + quoted(path) + " 2>/dev/null", &status);
        if (status == 0 && answer.find(':') != std::string::npos) return answer.substr(0, answer.find(':'));
    }
    return {};
}

class PackageTest : public testing::Test {
protected:
    void SetUp() override {
        folder = makeTempDirectory();
        ASSERT_FALSE(folder.empty());
    }
    void TearDown() override { removeTree(folder); }

    // The package that `make test` builds with dpkg-buildpackage from debian/ before it runs the tests
    // (scripts/build-package.sh into DOVOZ1_PACKAGE_DIR): the dovoz1_* file ending in .SUFFIX.
    static std::string packageFile(const std::string& suffix) {
        for (const std::string& name : filesIn(DOVOZ1_PACKAGE_DIR)) {
            if (name.rfind("dovoz1_", 0) == 0 && name.size() > suffix.size() + 1 &&
                name.substr(name.size() - suffix.size() - 1) == "." + suffix) {
                return std::string(DOVOZ1_PACKAGE_DIR) + "/" + name;
            }
        }
        ADD_FAILURE() << "no dovoz1_*." << suffix << " in " << DOVOZ1_PACKAGE_DIR
                      << ": make test builds the package first (scripts/build-package.sh)";
        return {};
    }

    // Unpacks the package under root/ in the test's folder; returns that folder.
    std::string unpack(const std::string& deb) {
        const std::string root = folder + "/root";
        int status = 0;
        const std::string log =
            commandOutput("dpkg-deb -x " + quoted(deb) + " " + quoted(root) + " 2>&1", &status);
        EXPECT_EQ(status, 0) << log;
        return root;
    }

    std::string folder;
};

TEST_F(PackageTest, InstallPutsTheProgramDesktopEntryIconAndMetadata) {
    int status = 0;
    const std::string prefix = folder + "/usr";
    const std::string log =
        commandOutput(std::string(DOVOZ1_CMAKE_COMMAND) + " --install " + quoted(DOVOZ1_BUILD_DIR) +
                          " --prefix " + quoted(prefix) + " 2>&1",
                      &status);
    ASSERT_EQ(status, 0) << log;

    EXPECT_EQ(access((prefix + "/games/dovoz1").c_str(), X_OK), 0) << log;

    const std::string desktop = prefix + "/share/applications/dovoz1.desktop";
    const std::string entry = fileText(desktop);
    EXPECT_NE(entry.find("\nExec=dovoz1\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nIcon=dovoz1\n"), std::string::npos) << entry;
    const std::string complaints =
        commandOutput("desktop-file-validate " + quoted(desktop) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << complaints;
    EXPECT_EQ(complaints, "");

    const std::string icon = prefix + "/share/icons/hicolor/64x64/apps/dovoz1.png";
    const Image picture = readPng(icon);
    EXPECT_EQ(picture.width, 64);
    EXPECT_EQ(picture.height, 64);
    EXPECT_EQ(fileText(icon), fileText(std::string(DOVOZ1_SOURCE_DIR) + "/data/icon.png"));

    // Software centres list the program from its AppStream file, which names the desktop entry.
    const std::vector<std::string> metainfo = filesIn(prefix + "/share/metainfo");
    ASSERT_EQ(metainfo.size(), 1u);
    const std::string component = prefix + "/share/metainfo/" + metainfo[0];
    EXPECT_NE(fileText(component).find(">dovoz1.desktop</launchable>"), std::string::npos);
    const std::string verdict =
        commandOutput("appstreamcli validate --no-net " + quoted(component) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << verdict;
}

// One version and one public page: debian/changelog's version is the project's, and debian/control's
// Homepage is the page the AppStream metadata names.
TEST_F(PackageTest, DebianDescriptionAgreesWithTheBuild) {
    const std::string source = DOVOZ1_SOURCE_DIR;
    EXPECT_EQ(commandOutput("cd " + quoted(source) + " && dpkg-parsechangelog -S Version"),
              std::string(DOVOZ1_VERSION) + "\n");
    EXPECT_EQ(commandOutput("sed -n 's/^Homepage: //p' " + quoted(source + "/debian/control")),
              std::string(DOVOZ1_HOMEPAGE) + "\n");
}

TEST_F(PackageTest, DebNamesThePackageOfEveryLinkedLibraryAndPassesLintian) {
    const std::string deb = packageFile("deb");
    ASSERT_FALSE(deb.empty());
    const std::string contents = commandOutput("dpkg-deb -c " + quoted(deb));
    for (const char* path :
         {"./usr/games/dovoz1", "./usr/share/applications/dovoz1.desktop",
          "./usr/share/icons/hicolor/64x64/apps/dovoz1.png", "./usr/share/man/man6/dovoz1.6.gz",
          "./usr/share/doc/dovoz1/copyright", "./usr/share/doc/dovoz1/changelog.gz"}) {
        EXPECT_NE(contents.find(std::string(" ") + path + "\n"), std::string::npos) << path << "\n"
                                                                                    << contents;
    }

    const auto groups = dependencyGroups(commandOutput("dpkg-deb -f " + quoted(deb) + " Depends"));
    const auto listed = [&groups](const std::string& package) {
        for (const auto& group : groups) {
            if (std::find(group.begin(), group.end(), package) != group.end()) return true;
        }
        return false;
    };
    // sdl12-compat's own package keeps the library where the loader does not look; the shim's link is
    // what the program loads.
    EXPECT_TRUE(listed("libsdl1.2-compat-shim"));

    // The source package and the binary packages (through the .changes file) with every tag lintian
    // has but the experimental ones; the overrides in debian/ say why each one left stays. lintian
    // refuses root without --allow-root.
    const std::string changes = packageFile("changes");
    ASSERT_FALSE(changes.empty());
    int status = 0;
    const std::string complaints = commandOutput(
        "lintian --allow-root --pedantic --display-info --fail-on error,warning,info,pedantic " +
            quoted(changes) + " 2>&1",
        &status);
    EXPECT_EQ(status, 0) << complaints;
    EXPECT_EQ(complaints, "");

    const std::string binary = unpack(deb) + "/usr/games/dovoz1";
    // Messages name source files within the project: no folder of the building machine is left in.
    EXPECT_EQ(commandOutput("grep -c -F " + quoted(DOVOZ1_SOURCE_DIR) + " " + quoted(binary)), "0\n");
    std::stringstream needed(
        commandOutput("readelf -d " + quoted(binary) + " | sed -n 's/.*(NEEDED).*\\[\\(.*\\)\\]/\\1/p'"));
    const std::string resolved = commandOutput("ldd " + quoted(binary));
    std::string library;
    int libraries = 0;
    while (std::getline(needed, library)) {
        ++libraries;
        const size_t at = resolved.find(library + " => ");
        ASSERT_NE(at, std::string::npos) << library << " not found by the loader\n" << resolved;
        const size_t from = at + library.size() + 4;
        const std::string path = resolved.substr(from, resolved.find(' ', from) - from);
        const std::string package = owningPackage(path);
        ASSERT_FALSE(package.empty()) << path;
        EXPECT_TRUE(listed(package)) << library << " comes from " << package
                                     << ", which the package does not name";
    }
    EXPECT_GE(libraries, 3);

    // The music layer opens libopenmpt itself, when the first module is made: no NEEDED entry names it.
    std::string opened = commandOutput("/sbin/ldconfig -p | sed -n 's/^\\s*libopenmpt\\.so\\.0 .*=> //p'");
    opened = opened.substr(0, opened.find('\n'));
    ASSERT_FALSE(opened.empty()) << "libopenmpt.so.0 is not installed";
    const std::string musicPackage = owningPackage(opened);
    ASSERT_FALSE(musicPackage.empty()) << opened;
    EXPECT_TRUE(listed(musicPackage)) << opened << " comes from " << musicPackage;
}

// Every compiler and linker call of the package's build has the flags dpkg-buildflags asks for,
// hardening included: blhc reads the build log and says nothing.
TEST_F(PackageTest, PackageBuildLogShowsDebiansBuildFlags) {
    const std::string log = std::string(DOVOZ1_PACKAGE_DIR) + "/build.log";
    ASSERT_EQ(access(log.c_str(), R_OK), 0) << log << ": make test builds the package first";
    int status = 0;
    const std::string complaints = commandOutput("blhc " + quoted(log) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << complaints;
    EXPECT_EQ(complaints, "");
}

TEST_F(PackageTest, UnpackedProgramRunsToANormalExit) {
    const std::string deb = packageFile("deb");
    ASSERT_FALSE(deb.empty());
    const std::string binary = unpack(deb) + "/usr/games/dovoz1";
    XSession session;
    ASSERT_TRUE(session.running()) << session.error();
    const std::string work = folder + "/work";
    std::filesystem::create_directory(work);

    ProgramRun run;
    run.path = binary;
    run.environment = {{"DISPLAY", session.display()}, {"SDL_AUDIODRIVER", "dummy"}};
    run.unset = {"WAYLAND_DISPLAY", "SDL_VIDEODRIVER", "LD_PRELOAD"};
    run.workingDirectory = work;
    run.marker = "...video init ok!";
    run.timeoutSeconds = 15;
    run.actions = {{OPENING_FADE_SECONDS + 1.0, [&session] { EXPECT_TRUE(session.pressKey("Escape")); }}};
    const ProgramResult result = runProgram(run);
    EXPECT_FALSE(result.timedOut);
    EXPECT_FALSE(result.leftProcesses);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_GT(parseStatistics(result.out).frames, 0) << result.out;
    EXPECT_TRUE(filesIn(work).empty());
}

}  // namespace
