// The loader factory: registration by lower-cased words, dispatch by the text after the
// last '.', its log lines, and the loaders' lifetimes.
#include <gtest/gtest.h>

#include <new>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "debugging/CException.h"
#include "debugging/CLogManager.h"
#include "engine/CFactoryLoader.h"
#include "tests/support/GlobalLogLines.h"
#include "tests/support/RowNames.h"

namespace
{

using Lines = std::vector<std::string>;

// A loader that records the paths it is given and counts its own destruction.
class RecordingLoader : public VELK::VLoader
{
public:
    RecordingLoader(const std::string& extensions, int& destroyed, const char* product = "model")
        : VLoader(extensions), destroyed(destroyed), product(product) {}
    ~RecordingLoader() override { ++destroyed; }
    void* loadFromFile(std::string fileName) override
    {
        paths.push_back(fileName);
        return &result;
    }
    void saveToFile(void*, std::string) override {}
    const char* getProduct() const override { return product; }

    std::vector<std::string> paths;
    int result = 0;                                    // what loadFromFile hands out

private:
    int& destroyed;
    const char* product;
};

enum Thrown { ENGINE, RUNTIME_ERROR, OUT_OF_MEMORY, NOT_STANDARD };

class ThrowingLoader : public VELK::VLoader
{
public:
    ThrowingLoader(const std::string& extensions, Thrown thrown) : VLoader(extensions), thrown(thrown) {}
    void* loadFromFile(std::string fileName) override
    {
        switch (thrown) {
        case ENGINE:        throw DEBUGGING::CException("VELK::CObjLoader::loadFromFile " + fileName + " [FAILED]");
        case RUNTIME_ERROR: throw std::runtime_error("not the engine's");
        case OUT_OF_MEMORY: throw std::bad_alloc();
        default:            throw 7;
        }
    }
    void saveToFile(void*, std::string) override {}
    const char* getProduct() const override { return "model"; }

private:
    Thrown thrown;
};

// A loader as a program outside the engine writes one: the designed operations alone.
class PlainLoader : public VELK::VLoader
{
public:
    PlainLoader() : VLoader("raw") {}
    void* loadFromFile(std::string) override { return &loaded; }
    void saveToFile(void*, std::string) override {}

    int loaded = 0;
};

class FactoryLoader : public testing::Test
{
protected:
    void SetUp() override
    {
        factory.unregisterAll();
        log.mark();
    }
    void TearDown() override { factory.unregisterAll(); }

    VELK::CFactoryLoader& factory = VELK::CFactoryLoader::getInstance();
    GlobalLogLines log;
};

TEST_F(FactoryLoader, StoresTheLowerCasedWordsOfTheList)
{
    int destroyed = 0;
    auto* loader = new RecordingLoader("JPG Jpeg", destroyed);
    factory.registerLoader(loader);

    EXPECT_EQ(factory.loadFromFile("a.jpg"), &loader->result);
    EXPECT_EQ(factory.loadFromFile("b.jpeg"), &loader->result);
    EXPECT_EQ(loader->paths, (Lines{"a.jpg", "b.jpeg"}));
    EXPECT_EQ(log.sinceMark(), Lines{});
    EXPECT_EQ(destroyed, 0);
}

TEST_F(FactoryLoader, HandsTheWholePathToTheLoaderOfItsExtension)
{
    int destroyed = 0;
    auto* pictures = new RecordingLoader("bmp dds jpg jpeg jpe png ppm tga pgm", destroyed);
    auto* models = new RecordingLoader("obj", destroyed);
    factory.registerLoader(pictures);
    factory.registerLoader(models);

    EXPECT_EQ(factory.loadFromFile("Data/005.obj"), &models->result);
    EXPECT_EQ(factory.loadFromFile("Data/wood.png"), &pictures->result);
    EXPECT_EQ(factory.loadFromFile("some.dir/x.y.tga"), &pictures->result);
    EXPECT_EQ(models->paths, Lines{"Data/005.obj"});
    EXPECT_EQ(pictures->paths, (Lines{"Data/wood.png", "some.dir/x.y.tga"}));
    EXPECT_EQ(log.sinceMark(), Lines{});
}

struct Unknown
{
    const char* name;
    const char* path;
    const char* extension;                             // as the [NOT FOUND] line names it
};
const Unknown kUnknown[] = {
    {"upperCase", "Data/wood.PNG", "PNG"},
    {"noDot", "Data/readme", "Data/readme"},
    {"endsInDot", "Data/wood.", ""},
    {"dotInFolder", "my.dir/file", "dir/file"},
    {"emptyPath", "", ""},
    {"unregistered", "Data/scene.3ds", "3ds"},
};

void PrintTo(const Unknown& unknown, std::ostream* out)
{
    *out << '"' << unknown.path << '"';
}

class UnknownExtension : public FactoryLoader, public testing::WithParamInterface<Unknown> {};

TEST_P(UnknownExtension, GivesOneNotFoundLineAndNull)
{
    int destroyed = 0;
    auto* loader = new RecordingLoader("png obj", destroyed);
    factory.registerLoader(loader);
    log.mark();

    EXPECT_EQ(factory.loadFromFile(GetParam().path), nullptr);
    EXPECT_EQ(log.sinceMark(), Lines{"T -> [ ERROR ] VELK::CFactoryLoader::loadFromFile : " +
                                     std::string(GetParam().extension) + " [NOT FOUND]"});
    EXPECT_EQ(loader->paths, Lines{});
}

INSTANTIATE_TEST_SUITE_P(Paths, UnknownExtension, testing::ValuesIn(kUnknown), testsupport::RowName());

TEST_F(FactoryLoader, FirstLoaderKeepsAnExtensionTheSecondAlsoDeclares)
{
    int firstDestroyed = 0;
    int secondDestroyed = 0;
    auto* first = new RecordingLoader("obj", firstDestroyed);
    auto* second = new RecordingLoader("obj xyz", secondDestroyed);
    factory.registerLoader(first);
    factory.registerLoader(second);

    EXPECT_EQ(log.sinceMark(), Lines{"T -> [ ERROR ] VELK::CFactoryLoader::registerLoader : obj [FAILED]"});
    EXPECT_EQ(factory.loadFromFile("a.obj"), &first->result);
    EXPECT_EQ(factory.loadFromFile("a.xyz"), &second->result);
    EXPECT_EQ(firstDestroyed, 0);
    EXPECT_EQ(secondDestroyed, 0);
}

TEST_F(FactoryLoader, WordRepeatedInOneListIsStoredOnce)
{
    int destroyed = 0;
    auto* loader = new RecordingLoader("png PNG tga", destroyed);
    factory.registerLoader(loader);

    EXPECT_EQ(log.sinceMark(), Lines{"T -> [ ERROR ] VELK::CFactoryLoader::registerLoader : png [FAILED]"});
    EXPECT_EQ(factory.loadFromFile("a.png"), &loader->result);
    factory.unregisterAll();
    EXPECT_EQ(destroyed, 1);
}

TEST_F(FactoryLoader, LoaderWhoseEveryWordIsTakenIsDestroyedOnRegistration)
{
    int firstDestroyed = 0;
    int secondDestroyed = 0;
    auto* first = new RecordingLoader("obj mtl", firstDestroyed);
    factory.registerLoader(first);
    factory.registerLoader(new RecordingLoader("MTL Obj", secondDestroyed));

    EXPECT_EQ(secondDestroyed, 1);
    EXPECT_EQ(log.sinceMark(), (Lines{"T -> [ ERROR ] VELK::CFactoryLoader::registerLoader : mtl [FAILED]",
                                      "T -> [ ERROR ] VELK::CFactoryLoader::registerLoader : obj [FAILED]"}));
    EXPECT_EQ(factory.loadFromFile("a.mtl"), &first->result);

    factory.unregisterAll();
    EXPECT_EQ(firstDestroyed, 1);
    EXPECT_EQ(secondDestroyed, 1);
}

TEST_F(FactoryLoader, LoaderWithABlankListIsLeftAlone)
{
    for (const char* blank : {"", " \t\r\n "}) {
        int destroyed = 0;
        auto* loader = new RecordingLoader(blank, destroyed);
        factory.registerLoader(loader);
        factory.unregisterAll();
        EXPECT_EQ(destroyed, 0) << "list \"" << blank << "\"";
        EXPECT_EQ(log.sinceMark(), Lines{});
        delete loader;                                 // still the caller's
        EXPECT_EQ(destroyed, 1);
    }
}

TEST_F(FactoryLoader, UnregisterAllDestroysEachLoaderOnceAndForgetsEveryExtension)
{
    int picturesDestroyed = 0;
    int modelsDestroyed = 0;
    factory.registerLoader(new RecordingLoader("bmp dds jpg jpeg jpe png ppm tga pgm", picturesDestroyed));
    factory.registerLoader(new RecordingLoader("obj", modelsDestroyed));

    factory.unregisterAll();
    EXPECT_EQ(picturesDestroyed, 1);
    EXPECT_EQ(modelsDestroyed, 1);

    EXPECT_EQ(factory.loadFromFile("Data/005.obj"), nullptr);
    EXPECT_EQ(factory.loadFromFile("Data/wood.png"), nullptr);
    EXPECT_EQ(log.sinceMark(), (Lines{"T -> [ ERROR ] VELK::CFactoryLoader::loadFromFile : obj [NOT FOUND]",
                                      "T -> [ ERROR ] VELK::CFactoryLoader::loadFromFile : png [NOT FOUND]"}));

    // The factory stays usable.
    int laterDestroyed = 0;
    auto* later = new RecordingLoader("obj", laterDestroyed);
    factory.registerLoader(later);
    EXPECT_EQ(factory.loadFromFile("Data/005.obj"), &later->result);
    factory.unregisterAll();
    factory.unregisterAll();
    EXPECT_EQ(laterDestroyed, 1);
    EXPECT_EQ(picturesDestroyed, 1);
}

TEST_F(FactoryLoader, LoaderFailureIsLoggedAsItsMessageAlone)
{
    factory.registerLoader(new ThrowingLoader("obj", ENGINE));

    EXPECT_EQ(factory.loadFromFile("Data/005.obj"), nullptr);
    EXPECT_EQ(log.sinceMark(), Lines{"T -> [ ERROR ] VELK::CObjLoader::loadFromFile Data/005.obj [FAILED]"});
}

TEST_F(FactoryLoader, OtherStandardExceptionsFailTheLoadWithTheirReason)
{
    factory.registerLoader(new ThrowingLoader("obj", RUNTIME_ERROR));
    factory.registerLoader(new ThrowingLoader("big", OUT_OF_MEMORY));
    factory.registerLoader(new ThrowingLoader("odd", NOT_STANDARD));

    EXPECT_EQ(factory.loadFromFile("Data/005.obj"), nullptr);
    EXPECT_EQ(factory.loadFromFile("Data/huge.big"), nullptr);
    EXPECT_EQ(log.sinceMark(), (Lines{"T -> [ ERROR ] VELK::CFactoryLoader::loadFromFile : Data/005.obj : not the engine's",
                                      "T -> [ ERROR ] VELK::CFactoryLoader::loadFromFile : Data/005.obj [FAILED]",
                                      "T -> [ ERROR ] VELK::CFactoryLoader::loadFromFile : Data/huge.big : out of memory",
                                      "T -> [ ERROR ] VELK::CFactoryLoader::loadFromFile : Data/huge.big [FAILED]"}));
    // Only what is no standard exception at all reaches the caller.
    EXPECT_THROW(factory.loadFromFile("a.odd"), int);
}

TEST_F(FactoryLoader, FileOfAnotherProductIsRefusedBeforeItIsRead)
{
    int destroyed = 0;
    auto* pictures = new RecordingLoader("png", destroyed, "picture");
    auto* models = new RecordingLoader("obj", destroyed, "model");
    factory.registerLoader(pictures);
    factory.registerLoader(models);

    EXPECT_EQ(factory.loadFromFile("Data/other.obj", "picture"), nullptr);
    EXPECT_EQ(factory.loadFromFile("sign.png", "model"), nullptr);
    EXPECT_EQ(factory.loadFromFile("Data/005.obj", "model"), &models->result);
    EXPECT_EQ(factory.loadFromFile("Data/wood.png", "picture"), &pictures->result);
    EXPECT_EQ(models->paths, Lines{"Data/005.obj"});
    EXPECT_EQ(pictures->paths, Lines{"Data/wood.png"});
    EXPECT_EQ(log.sinceMark(),
              (Lines{"T -> [ ERROR ] VELK::CFactoryLoader::loadFromFile : Data/other.obj : a model, not a picture",
                     "T -> [ ERROR ] VELK::CFactoryLoader::loadFromFile : sign.png : a picture, not a model"}));
}

// It loads through the factory as before; the scene, asking for a picture, is refused.
TEST_F(FactoryLoader, PlainLoaderLoadsButIsNoPicture)
{
    auto* plain = new PlainLoader();
    factory.registerLoader(plain);
    EXPECT_EQ(factory.loadFromFile("Data/x.raw"), &plain->loaded);
    EXPECT_EQ(factory.loadFromFile("Data/x.raw", VELK::VLoader::kPicture), nullptr);
    EXPECT_EQ(log.sinceMark(), Lines{"T -> [ ERROR ] VELK::CFactoryLoader::loadFromFile : Data/x.raw : the loader of "
                                     "\"raw\" states no product, not a picture"});
}

TEST_F(FactoryLoader, ErrorLevelStaysInForceAfterAFailure)
{
    EXPECT_EQ(factory.loadFromFile("a.obj"), nullptr);
    ASSERT_NE(DEBUGGING::globalLog, nullptr);
    EXPECT_EQ(DEBUGGING::globalLog->getLevel(), DEBUGGING::LOG_ERROR);
}

} // namespace
