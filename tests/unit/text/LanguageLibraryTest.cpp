// Choosing, loading and listing translation files, over a fake loader and
// a temporary folder.
#include "core/settings/Settings.h"
#include "core/text/LanguageLibrary.h"
#include "core/text/StringTable.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

using namespace qv;

namespace {

class FakeLoader : public TranslationLoader {
public:
    struct Loaded : Translation {
        std::string path;
    };
    std::unique_ptr<Translation> load(const std::string& path) override
    {
        attempts.push_back(path);
        if (!std::filesystem::exists(path) || broken.count(path))
            return nullptr;
        auto t = std::make_unique<Loaded>();
        t->path = path;
        return t;
    }
    void use(Translation* translation, LanguageId language) override
    {
        inUse = translation ? static_cast<Loaded*>(translation)->path : "";
        inUseLanguage = language;
    }
    LanguageId fileLanguage(const std::string& path) override
    {
        auto it = declared.find(std::filesystem::path(path).filename().string());
        return it == declared.end() ? 0 : it->second;
    }

    std::vector<std::string> attempts;
    std::set<std::string> broken;
    std::map<std::string, LanguageId> declared;
    std::string inUse;
    LanguageId inUseLanguage = 0;
};

class LanguageLibraryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = std::filesystem::temp_directory_path() /
                  ("quorvane-lang-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    void install(const std::string& name, LanguageId declared)
    {
        std::ofstream(folder_ / name) << "qm";
        loader_.declared[name] = declared;
    }
    std::string path(const std::string& name) const { return (folder_ / name).string(); }
    LanguageLibrary make(LocaleEnvironment environment = {})
    {
        return LanguageLibrary(loader_, {folder_.string()}, "quorvane", kRussian, environment);
    }

    std::filesystem::path folder_;
    FakeLoader loader_;
    MemoryProfileStore store_;
};

}  // namespace

TEST_F(LanguageLibraryTest, NoSettingAndNoFileKeepTheBuiltInTextsAndListOnlyTheOwnLanguage)
{
    LanguageLibrary library = make();
    library.LoadPreferredLanguage(store_);
    EXPECT_EQ(library.currentLanguage, kRussian);
    EXPECT_FALSE(library.translationLoaded());
    EXPECT_TRUE(loader_.attempts.empty());
    library.ListLanguages();
    EXPECT_EQ(library.languages, std::vector<LanguageId>{kRussian});
}

TEST_F(LanguageLibraryTest, SwissGermanSettingFallsBackThroughThePrimaryLanguageToGerman)
{
    install("quorvaneDEU.qm", kGerman);
    store_.writeInt(kLanguageIdKey, 0x0807);
    LanguageLibrary library = make();
    library.LoadPreferredLanguage(store_);
    // 0x0807 names quorvaneDES.qm, absent; 0x0007 names no file at all.
    EXPECT_EQ(loader_.attempts, (std::vector<std::string>{path("quorvaneDES.qm"), path("quorvaneDEU.qm")}));
    EXPECT_EQ(library.currentLanguage, kGerman);
    EXPECT_EQ(loader_.inUse, path("quorvaneDEU.qm"));
    EXPECT_EQ(loader_.inUseLanguage, kGerman);
}

TEST_F(LanguageLibraryTest, OwnLanguageCandidateUnloadsWithoutTouchingAnyFile)
{
    install("quorvaneENU.qm", kEnglishUS);
    store_.writeInt(kLanguageIdKey, kEnglishUS);
    LanguageLibrary library = make();
    library.LoadPreferredLanguage(store_);
    ASSERT_TRUE(library.translationLoaded());
    loader_.attempts.clear();

    library.currentLanguage = kRussian;
    EXPECT_TRUE(library.TryLanguage());
    EXPECT_TRUE(loader_.attempts.empty());
    EXPECT_FALSE(library.translationLoaded());
    EXPECT_EQ(loader_.inUse, "");
}

TEST_F(LanguageLibraryTest, BrokenFileIsSkippedAndTheNextCandidateServes)
{
    install("quorvaneDEU.qm", kGerman);
    install("quorvaneENU.qm", kEnglishUS);
    loader_.broken.insert(path("quorvaneDEU.qm"));
    store_.writeInt(kLanguageIdKey, kGerman);
    LocaleEnvironment environment;
    environment.lang = "en_GB.UTF-8";
    LanguageLibrary library = make(environment);
    library.LoadPreferredLanguage(store_);
    // en_GB has no file of its own; its family ends in English (US).
    EXPECT_EQ(library.currentLanguage, kEnglishUS);
    EXPECT_EQ(loader_.inUse, path("quorvaneENU.qm"));
}

TEST_F(LanguageLibraryTest, MenuListsOwnLanguageThenEveryReadableFile)
{
    install("quorvaneENU.qm", kEnglishUS);
    install("quorvaneDEU.qm", kGerman);
    install("quorvaneXYZ.qm", 0);         // declares no language
    install("quorvaneDEU.qm.bak", kGerman);  // not a translation file's name
    install("otherDEU.qm", kGerman);
    LanguageLibrary library = make();
    library.ListLanguages();
    EXPECT_EQ(library.languages, (std::vector<LanguageId>{kRussian, kGerman, kEnglishUS}));
}

TEST_F(LanguageLibraryTest, ChoosingWritesTheSettingAndLoadsItEvenWhenAlreadyInUse)
{
    install("quorvaneDEU.qm", kGerman);
    LanguageLibrary library = make();
    library.ListLanguages();
    library.LoadPreferredLanguage(store_);
    EXPECT_FALSE(library.ChooseLanguage(kLanguageCommandFirst + 2, store_));
    EXPECT_FALSE(store_.contains(kLanguageIdKey));

    EXPECT_TRUE(library.ChooseLanguage(kLanguageCommandFirst + 1, store_));
    EXPECT_EQ(store_.readInt(kLanguageIdKey), kGerman);
    EXPECT_EQ(loader_.inUse, path("quorvaneDEU.qm"));

    store_.writeInt(kLanguageIdKey, 0);
    EXPECT_TRUE(library.ChooseLanguage(kLanguageCommandFirst + 1, store_));
    EXPECT_EQ(store_.readInt(kLanguageIdKey), kGerman);
    EXPECT_EQ(library.currentLanguage, kGerman);
}

TEST(LanguageNames, TableAndLocaleMapping)
{
    EXPECT_EQ(LanguageName(1234), "1234 - ???");
    EXPECT_EQ(LanguageName(0x0007), "7 - ???");
    EXPECT_EQ(LanguageName(kGerman), "Deutsch");
    EXPECT_EQ(LanguageName(kRussian), "Русский");
    EXPECT_EQ(LanguageFromLocale("de_CH.UTF-8@euro"), 0x0807);
    EXPECT_EQ(LanguageFromLocale("de"), kGerman);
    EXPECT_EQ(LanguageFromLocale("de_BE"), kGerman);
    EXPECT_EQ(LanguageFromLocale("en"), kEnglishUS);
    EXPECT_EQ(LanguageFromLocale("C.UTF-8"), 0);
    EXPECT_EQ(LanguageFromLocale("xx_YY"), 0);
    EXPECT_EQ(LanguageFromAbbreviation("deu"), kGerman);
}

TEST(LanguageCandidates, ComeInTheirOrderFromSettingEnvironmentAndSystemFile)
{
    LocaleEnvironment e;
    e.language = "fr_FR:de";
    e.lcAll = "";
    e.lcMessages = "en_US.UTF-8";
    e.lcCtype = "it_IT.UTF-8";
    e.lang = "es_ES.UTF-8";
    e.systemLocale = "# written by the installer\nLANG=\"pl_PL.UTF-8\"\nLC_MESSAGES=nl_NL.UTF-8\nLC_CTYPE=sv_SE.UTF-8\n";
    const auto c = PreferredCandidates(0x0807, e, kRussian);
    EXPECT_EQ(c, (std::array<LanguageId, 6>{0x0807, 0x040C, 0x0413, 0x0410, 0x041D, kRussian}));

    e.quorvaneLang = "de";
    e.systemLocale = "LANG=pl_PL.UTF-8\n";
    const auto d = PreferredCandidates(0, e, kRussian);
    EXPECT_EQ(d, (std::array<LanguageId, 6>{0, kGerman, 0x0415, 0x0410, 0x0415, kRussian}));
}

TEST(BuiltinTextLanguage, FollowsTheWindowsRuleAmongTheTablesOwnLanguages)
{
    auto language = [](std::string quorvaneLang, std::string languageList, std::string lcAll, std::string lang,
                       std::string system = "") {
        LocaleEnvironment e;
        e.quorvaneLang = std::move(quorvaneLang);
        e.language = std::move(languageList);
        e.lcAll = std::move(lcAll);
        e.lang = std::move(lang);
        e.systemLocale = std::move(system);
        return BuiltinTextLanguage(e);
    };
    EXPECT_EQ(language("en", "", "", "ru_RU.UTF-8"), kEnglishUS);
    EXPECT_EQ(language("ru", "en_US", "", ""), kRussian);
    EXPECT_EQ(language("", "en_GB:ru", "ru_RU.UTF-8", ""), kEnglishUS);
    EXPECT_EQ(language("", "ru:en", "", "en_US.UTF-8"), kRussian);
    EXPECT_EQ(language("", "", "de_AT.UTF-8", ""), kGerman);
    EXPECT_EQ(language("", "", "", "fr_FR.UTF-8"), kRussian);
    EXPECT_EQ(language("", "", "", "C.UTF-8", "LANG=de_DE.UTF-8\n"), kGerman);
    EXPECT_EQ(language("", "", "", ""), kRussian);
}

TEST(BuiltinTexts, GermanFallsBackToEnglishWhereATextIsNotWrittenYet)
{
    UseBuiltinLanguage(kGerman);
    EXPECT_EQ(LoadText(10202), GermanText(10202));
    for (const StringEntry& entry : StringTable())
        EXPECT_EQ(LoadText(entry.id), entry.german ? std::string(entry.german) : std::string(entry.english));
    UseEnglishTexts(false);
    EXPECT_EQ(LoadText(10202), BuiltinText(10202));
}
