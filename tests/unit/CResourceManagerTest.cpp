// The resource cache: first store wins, exact names, reference counts, and the LOADING /
// RELEASE lines, each written before its resource is destroyed, in byte order of names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "debugging/CLogManager.h"
#include "engine/CResourceManager.h"
#include "tests/support/GlobalLogLines.h"

namespace
{

using Lines = std::vector<std::string>;

// Notes, when it is destroyed, its label and every log line written by then.
struct Destruction
{
    std::string label;
    Lines logSoFar;
};

class Tracked : public VELK::CResource
{
public:
    Tracked(std::string label, std::vector<Destruction>& destroyed, GlobalLogLines& log)
        : label(std::move(label)), destroyed(destroyed), log(log) {}
    ~Tracked() override { destroyed.push_back({label, log.sinceMark()}); }

private:
    std::string label;
    std::vector<Destruction>& destroyed;
    GlobalLogLines& log;
};

class ResourceManager : public testing::Test
{
protected:
    void SetUp() override
    {
        manager.releaseAll();
        DEBUGGING::globalLog->setLevel(DEBUGGING::LOG_INFOS);
        log.mark();
    }
    void TearDown() override { manager.releaseAll(); }

    Tracked* make(const std::string& label) { return new Tracked(label, destroyed, log); }

    VELK::CResourceManager& manager = VELK::CResourceManager::getInstance();
    GlobalLogLines log;
    std::vector<Destruction> destroyed;
};

TEST_F(ResourceManager, ReleaseAllOnAnEmptyTableWritesNothing)
{
    manager.releaseAll();
    EXPECT_EQ(log.sinceMark(), Lines{});
    EXPECT_EQ(manager.getResource(""), nullptr);
}

TEST_F(ResourceManager, FirstResourceStoredUnderANameWins)
{
    Tracked* first = make("T");
    Tracked* second = make("U");
    manager.addResource("a.png", first);
    manager.addResource("a.png", second);

    EXPECT_EQ(manager.getResource("a.png"), first);
    EXPECT_EQ(log.sinceMark(), Lines{"T -> [ INFOS ] CResourceManager - LOADING : a.png"});
    EXPECT_TRUE(destroyed.empty());
    delete second;                                     // refused, so still ours
    ASSERT_EQ(destroyed.size(), 1u);
    EXPECT_EQ(destroyed[0].label, "U");
}

TEST_F(ResourceManager, EachLookupAddsAReferenceAndReleaseAllDestroysAllTheSame)
{
    Tracked* resource = make("T");
    EXPECT_EQ(resource->getReferenceCount(), 1);
    manager.addResource("005.obj", resource);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(manager.getResource("005.obj"), resource);
    EXPECT_EQ(resource->getReferenceCount(), 4);

    manager.releaseAll();
    ASSERT_EQ(destroyed.size(), 1u);
    EXPECT_EQ(manager.getResource("005.obj"), nullptr);
}

TEST_F(ResourceManager, ReleaseAllWritesEachLineInByteOrderBeforeItsResourceGoes)
{
    manager.addResource("b", make("b"));
    manager.addResource("a", make("a"));
    manager.addResource("B", make("B"));               // upper case sorts first
    log.mark();

    manager.releaseAll();

    const std::string release = "T -> [ INFOS ] CResourceManager - RELEASE : ";
    ASSERT_EQ(destroyed.size(), 3u);
    EXPECT_EQ(destroyed[0].label, "B");
    EXPECT_EQ(destroyed[0].logSoFar, Lines{release + "B"});
    EXPECT_EQ(destroyed[1].label, "a");
    EXPECT_EQ(destroyed[1].logSoFar, (Lines{release + "B", release + "a"}));
    EXPECT_EQ(destroyed[2].label, "b");
    EXPECT_EQ(destroyed[2].logSoFar, (Lines{release + "B", release + "a", release + "b"}));
    EXPECT_EQ(log.sinceMark(), (Lines{release + "B", release + "a", release + "b"}));
    for (const char* name : {"a", "b", "B"})
        EXPECT_EQ(manager.getResource(name), nullptr) << name;
}

TEST_F(ResourceManager, ReleaseResourceForgetsWithoutDestroying)
{
    Tracked* resource = make("T");
    manager.addResource("wood.png", resource);
    log.mark();

    manager.releaseResource("wood.png");
    EXPECT_EQ(log.sinceMark(), Lines{"T -> [ INFOS ] CResourceManager - RELEASE : wood.png"});
    EXPECT_TRUE(destroyed.empty());
    EXPECT_EQ(manager.getResource("wood.png"), nullptr);

    log.mark();
    manager.releaseResource("wood.png");
    manager.releaseResource("never.png");
    EXPECT_EQ(log.sinceMark(), Lines{});
    delete resource;
    EXPECT_EQ(destroyed.size(), 1u);
}

TEST_F(ResourceManager, NamesAreComparedByteForByte)
{
    Tracked* model = make("model");
    Tracked* lower = make("lower");
    Tracked* upper = make("upper");
    manager.addResource("005.obj", model);
    manager.addResource("tex.png", lower);
    manager.addResource("Tex.png", upper);

    EXPECT_EQ(manager.getResource("Data/005.obj"), nullptr);
    EXPECT_EQ(manager.getResource("005.OBJ"), nullptr);
    EXPECT_EQ(manager.getResource("005.obj"), model);
    EXPECT_EQ(manager.getResource("tex.png"), lower);
    EXPECT_EQ(manager.getResource("Tex.png"), upper);
}

TEST_F(ResourceManager, LinesCarryTheLevelTheGlobalLogLastHad)
{
    DEBUGGING::logMessage(DEBUGGING::LOG_ERROR, "earlier failure");
    manager.addResource("005.obj", make("T"));
    EXPECT_EQ(log.sinceMark(), (Lines{"T -> [ ERROR ] earlier failure",
                                      "T -> [ ERROR ] CResourceManager - LOADING : 005.obj"}));
}

TEST_F(ResourceManager, NamedResourceLeavesTheTableWhenDestroyedOutsideReleaseAll)
{
    Tracked* resource = make("T");
    resource->setName("wood.png");
    manager.addResource("wood.png", resource);
    log.mark();

    delete resource;
    EXPECT_EQ(log.sinceMark(), Lines{"T -> [ INFOS ] CResourceManager - RELEASE : wood.png"});
    EXPECT_EQ(manager.getResource("wood.png"), nullptr);
}

TEST_F(ResourceManager, ReleaseAllIsSafeWhenNamedResourcesRemoveThemselves)
{
    // "a" is named after a later entry, "b" after itself: destroying either reaches into the
    // table that releaseAll is emptying.
    Tracked* first = make("a");
    Tracked* second = make("b");
    first->setName("b");
    second->setName("b");
    manager.addResource("a", first);
    manager.addResource("b", second);
    log.mark();

    manager.releaseAll();

    const std::string release = "T -> [ INFOS ] CResourceManager - RELEASE : ";
    ASSERT_EQ(destroyed.size(), 2u);
    EXPECT_EQ(destroyed[0].label, "a");
    EXPECT_EQ(destroyed[1].label, "b");
    EXPECT_EQ(log.sinceMark(), (Lines{release + "a", release + "b"}));
    EXPECT_EQ(manager.getResource("a"), nullptr);
    EXPECT_EQ(manager.getResource("b"), nullptr);
}

} // namespace
