#include "ScourletCore/rules/DomainExceptionStore.h"

#include <thread>

#include <gtest/gtest.h>

#include "ScourletCore/platform/InMemoryUserDefaults.h"

namespace scourlet {
namespace {

class DomainExceptionStoreTest : public ::testing::Test {
protected:
    std::string storedText() const {
        auto data = defaults->dataForKey(DomainExceptionStore::kStorageKey);
        return data ? std::string(data->begin(), data->end()) : std::string("<none>");
    }
    void storeText(std::string_view text) {
        defaults->setData(DomainExceptionStore::kStorageKey,
                          DefaultsData(text.begin(), text.end()));
    }

    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
};

TEST(DomainExceptionNormalization, TrimsLowerCasesAndDropsOneWww) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"  WWW.Shop.Example \n", "shop.example"},
        {"www.www.a.example", "www.a.example"},
        {"shop.example.", "shop.example."},
        {"a.example:8080", "a.example:8080"},
        {"\u00A0 ", ""},
        {"wwwx.example", "wwwx.example"},
    };
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(DomainExceptionStore::normalize(input), expected) << input;
    }
}

TEST(DomainExceptionNormalization, HostOfALink) {
    const std::pair<std::string_view, std::optional<std::string>> cases[] = {
        {"  https://WWW.A.example/path?q=1 ", "a.example"},
        {"http://b.example", "b.example"},
        {"ftp://a.example/", std::nullopt},
        {"HTTPS://a.example/", std::nullopt},
        {"https://", std::nullopt},
        {"a.example", std::nullopt},
        {"https://user@c.example:8443/x", "c.example"},
    };
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(DomainExceptionStore::normalizedHost(input), expected) << input;
    }
}

TEST_F(DomainExceptionStoreTest, CoversExactlyOneHostAndItsWwwForm) {
    DomainExceptionStore store(defaults);
    store.disable("  WWW.Shop.Example ");
    for (const char* host : {"shop.example", "www.shop.example", "WWW.SHOP.EXAMPLE"}) {
        EXPECT_TRUE(store.isDisabled(host)) << host;
    }
    for (const char* host : {"m.shop.example", "example"}) {
        EXPECT_FALSE(store.isDisabled(host)) << host;
    }
    EXPECT_EQ(storedText(), R"([{"host":"shop.example"}])");
}

TEST_F(DomainExceptionStoreTest, WritesAndPublishesOnlyRealChanges) {
    DomainExceptionStore store(defaults);
    int published = 0;
    int writes = 0;
    auto onPublish = store.disabledDomainsPublisher().connect([&](const auto&) { ++published; });
    auto onWrite =
        defaults->observe(std::string(DomainExceptionStore::kStorageKey), [&] { ++writes; });

    store.disable("a.example");
    store.disable("A.example");
    store.enable("absent.example");
    EXPECT_EQ(published, 1);
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(store.disabledDomains(), std::vector<DomainException>{{"a.example"}});

    store.enable("www.a.example");
    EXPECT_EQ(published, 2);
    EXPECT_TRUE(store.disabledDomains().empty());
}

TEST_F(DomainExceptionStoreTest, LinkOperationsAnswerTheHostOrNothing) {
    DomainExceptionStore store(defaults);
    EXPECT_EQ(store.disableURL("ftp://a.example/"), std::nullopt);
    EXPECT_EQ(store.disableURL("HTTPS://a.example/"), std::nullopt);
    EXPECT_EQ(store.disableURL("https://"), std::nullopt);
    EXPECT_TRUE(store.disabledDomains().empty());

    EXPECT_EQ(store.disableURL(" https://WWW.A.example/path?q=1 "), "a.example");
    EXPECT_TRUE(store.isDisabledURL("https://a.example/other"));
    EXPECT_FALSE(store.isDisabledURL("a.example"));
    EXPECT_EQ(store.enableURL("https://a.example/"), "a.example");
    EXPECT_FALSE(store.isDisabledURL("https://a.example/other"));
}

TEST_F(DomainExceptionStoreTest, BlankHostIsStoredButNeverMatchesALink) {
    DomainExceptionStore store(defaults);
    store.disable("   ");
    EXPECT_EQ(store.disabledDomains(), std::vector<DomainException>{{""}});
    EXPECT_FALSE(store.isDisabledURL("https:///path"));
}

TEST_F(DomainExceptionStoreTest, UndecodableStoredValueReadsAsEmptyAndIsReplaced) {
    for (std::string_view bad : {R"({"host":"a.example"})", R"([{"name":"a"}])", "not json"}) {
        storeText(bad);
        DomainExceptionStore store(defaults);
        EXPECT_TRUE(store.disabledDomains().empty()) << bad;
        store.disable("new.example");
        EXPECT_EQ(storedText(), R"([{"host":"new.example"}])");
    }
    // An array value is not a data value.
    defaults->set(DomainExceptionStore::kStorageKey, Json::array({Json{{"host", "x"}}}));
    EXPECT_TRUE(DomainExceptionStore(defaults).disabledDomains().empty());
}

TEST_F(DomainExceptionStoreTest, AnotherWriterIsSeenOnlyAfterRefresh) {
    DomainExceptionStore mine(defaults);
    DomainExceptionStore theirs(defaults);
    theirs.disable("b.example");
    EXPECT_FALSE(mine.isDisabled("b.example"));
    mine.refresh();
    EXPECT_TRUE(mine.isDisabled("b.example"));
    // A write starts from the stored list, so it keeps the other writer's host.
    DomainExceptionStore stale(defaults);
    theirs.disable("c.example");
    stale.disable("d.example");
    stale.refresh();
    EXPECT_EQ(stale.disabledDomains().size(), 3u);
}

TEST_F(DomainExceptionStoreTest, ConcurrentAdditionsLoseNothing) {
    DomainExceptionStore store(defaults);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&store, t] {
            for (int i = 0; i < 25; ++i) {
                store.disable("h" + std::to_string(t) + "-" + std::to_string(i) + ".example");
                (void)store.isDisabled("h0-0.example");
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(store.disabledDomains().size(), 100u);
    EXPECT_EQ(DomainExceptionStore(defaults).disabledDomains().size(), 100u);
}

}  // namespace
}  // namespace scourlet
