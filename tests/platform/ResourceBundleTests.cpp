#include "ScourletCore/platform/ResourceBundle.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace scourlet {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::writeFile;

// A fake installation: a program folder, its share folder and two loaded objects.
class ResourceBundleSearch : public ::testing::Test {
protected:
    void SetUp() override {
        where.mainLocation = dir / "app";
        where.mainResourceLocation = dir / "app-share";
        where.codeResourceLocation = dir / "code";
        where.loadedObjectLocations = {dir / "lib1", dir / "lib2"};
    }

    fs::path makeBundle(const fs::path& base) {
        fs::path bundle = base / kResourceBundleName;
        fs::create_directories(bundle);
        return bundle;
    }

    TempDir dir;
    BundleSearchLocations where;
};

TEST_F(ResourceBundleSearch, NothingFoundIsAbsentNotFatal) {
    EXPECT_EQ(findCleanLinkResources(where), std::nullopt);
    EXPECT_EQ(findPackageResourceBundle(where), std::nullopt);
    EXPECT_EQ(findCleanLinkResources(BundleSearchLocations{}), std::nullopt);
}

TEST_F(ResourceBundleSearch, MainResourceCopyWinsOverLoadedObjects) {
    const fs::path mine = makeBundle(dir / "app-share");
    makeBundle(dir / "lib1");
    EXPECT_EQ(findCleanLinkResources(where), mine);
}

TEST_F(ResourceBundleSearch, LoadedObjectFolderThatIsTheBundleIsReturnedItself) {
    const fs::path bundle = makeBundle(dir / "lib2");
    // Something inside the bundle that would be found if it looked inside.
    makeBundle(bundle);
    where.loadedObjectLocations = {dir / "lib1", bundle};
    EXPECT_EQ(findCleanLinkResources(where), bundle);
}

TEST_F(ResourceBundleSearch, FrameworksFolderIsOnlyInTheWideSearch) {
    const fs::path bundle = makeBundle(dir / "app" / "Frameworks");
    EXPECT_EQ(findCleanLinkResources(where), bundle);
    EXPECT_EQ(findPackageResourceBundle(where), std::nullopt);
}

TEST_F(ResourceBundleSearch, PackageSearchOrderIsResourcesThenCodeThenMain) {
    const fs::path inMain = makeBundle(dir / "app");
    EXPECT_EQ(findPackageResourceBundle(where), inMain);
    const fs::path inCode = makeBundle(dir / "code");
    EXPECT_EQ(findPackageResourceBundle(where), inCode);
    const fs::path inResources = makeBundle(dir / "app-share");
    EXPECT_EQ(findPackageResourceBundle(where), inResources);
}

TEST_F(ResourceBundleSearch, OverrideWinsWhenItExists) {
    makeBundle(dir / "app");
    const fs::path custom = dir / "custom";
    where.overrideBundle = custom;
    EXPECT_EQ(findCleanLinkResources(where), (dir / "app" / kResourceBundleName));
    fs::create_directories(custom);
    EXPECT_EQ(findCleanLinkResources(where), custom);
    EXPECT_EQ(findPackageResourceBundle(where), custom);
}

TEST(ResourceBundle, LooksUpResourcesByNameAndExtension) {
    TempDir dir;
    writeFile(dir / "data.min.json", "{}");
    writeFile(dir / "manifest", "m");
    fs::create_directories(dir / "folder.json");
    const ResourceBundle bundle(dir.path());

    EXPECT_EQ(bundle.dataForResource("data.min", "json"), "{}");
    EXPECT_EQ(bundle.dataForResource("manifest", ""), "m");
    EXPECT_EQ(bundle.dataForResource("missing", "json"), std::nullopt);
    EXPECT_EQ(bundle.urlForResource("folder", "json"), std::nullopt);
}

TEST(ResourceBundle, TheBuiltProgramsFindTheBundleBesideThem) {
    const ResourceBundle* bundle = ResourceBundle::cleanLinkResources();
    ASSERT_NE(bundle, nullptr);
    EXPECT_EQ(bundle->path().filename(), kResourceBundleName);
    EXPECT_EQ(ResourceBundle::cleanLinkResources(), bundle);
}

}  // namespace
}  // namespace scourlet
