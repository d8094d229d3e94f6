// The OBJ loader: grammar, triangulation, welding, material order, the MTL reader, the
// rejection of bad files with their log line, and the corpora of real-world models.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "debugging/CException.h"
#include "debugging/CLogManager.h"
#include "engine/CFaceTriangulator.h"
#include "engine/CObjLoader.h"
#include "math/StringUtils.h"
#include "tests/support/GlobalLogLines.h"
#include "tests/support/MeshInvariants.h"
#include "tests/support/RowNames.h"

namespace
{

// ctest runs the tests of this program side by side in one folder, and each process
// truncates global.log when it starts; every process moves to a folder of its own and
// opens its global log there, so that the lines each test reads are its own.
class OwnFolder : public testing::Environment
{
public:
    void SetUp() override
    {
        const std::string folder = "process-" + std::to_string(getpid());
        mkdir(folder.c_str(), 0755);
        DEBUGGING::CLogManager::getInstance().shutdown();
        ASSERT_EQ(chdir(folder.c_str()), 0);
        ASSERT_NE(DEBUGGING::openGlobalLog(), nullptr);
        path = folder;
    }

    void TearDown() override
    {
        DEBUGGING::CLogManager::getInstance().shutdown();
        if (DIR* dir = opendir(".")) {
            while (const dirent* entry = readdir(dir))
                std::remove(entry->d_name);            // "." and ".." are not files and stay
            closedir(dir);
        }
        if (chdir("..") == 0)
            rmdir(path.c_str());
    }

private:
    std::string path;
};
testing::Environment* const ownFolder = testing::AddGlobalTestEnvironment(new OwnFolder);

using Libraries = std::map<std::string, std::string>;
using Floats = std::vector<float>;
using Indices = std::vector<std::uint32_t>;

VELK::CObjLoader::FileReader readerOf(const Libraries& libraries)
{
    return [libraries](const std::string& path, std::string& text) {
        const auto found = libraries.find(path);
        if (found == libraries.end())
            return false;
        text = found->second;
        return true;
    };
}

// Every mesh a test loads is checked for the promises every mesh keeps.
std::unique_ptr<CMeshData> load(const std::string& obj, const Libraries& libraries = {})
{
    VELK::CObjLoader loader;
    std::unique_ptr<CMeshData> mesh(loader.loadFromText("m.obj", obj, readerOf(libraries)));
    EXPECT_EQ(meshFault(*mesh), "");
    return mesh;
}

Floats vertexFloats(const CMeshData& mesh)
{
    return Floats(mesh.vertices, mesh.vertices + mesh.vertexCount * mesh.vertexSize / 4);
}

Indices indexList(const CMeshData& mesh)
{
    return Indices(mesh.indices, mesh.indices + mesh.indexCount);
}

std::uint32_t bitsOf(float value)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

std::vector<float> rgba(const CMyVector<float, 4>& colour)
{
    return {colour[0], colour[1], colour[2], colour[3]};
}

// Loads text that must be rejected; returns the one error line written for it. With threads,
// the text is a file read in that many chunks.
std::string rejectionOf(const std::string& obj, const std::string& name = "m.obj", const Libraries& libraries = {},
                        unsigned threads = 0)
{
    if (threads != 0)
        std::ofstream(name, std::ios::binary) << obj;
    GlobalLogLines log;
    VELK::CObjLoader loader;
    try {
        if (threads != 0)
            delete loader.loadStreamed(name, readerOf(libraries), 64, threads);
        else
            delete loader.loadFromText(name, obj, readerOf(libraries));
    } catch (const DEBUGGING::CException& e) {
        EXPECT_EQ(std::string(e.what()), "VELK::CObjLoader::loadFromFile " + name + " [FAILED]");
        const std::vector<std::string> lines = log.sinceMark();
        if (lines.size() != 1)
            return "expected one new log line, found " + std::to_string(lines.size());
        return GlobalLogLines::errorText(lines.back());
    }
    return "not rejected";
}

const char* const kSquare = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";

// ---------------------------------------------------------------- grammar and triangulation

TEST(ObjFaces, FanAroundTheFirstCornerKeepsTheTurningOrder)
{
    const auto mesh = load("v 0 0 0\nv 1 0 0\nv 2 1 0\nv 1 2 0\nv 0 1 0\nf 1 2 3 4 5\n");
    EXPECT_EQ(indexList(*mesh), (Indices{0, 1, 2, 0, 2, 3, 0, 3, 4}));
    EXPECT_EQ(mesh->vertexCount, 5u);
    EXPECT_EQ(mesh->indexSize, 4u);
    EXPECT_EQ(mesh->vertexSize, 32u);
}

TEST(ObjFaces, ConcaveFaceIsCutAlongItsOutlineIntoItsVertices)
{
    // A square whose bottom edge is pushed in at the face's second corner; the triangle
    // before it numbers the vertices in another order than the face's corners.
    const auto mesh = load("v 2 0 0\nv 0 0 0\nv 1 1 0\nv 2 2 0\nv 0 2 0\nf 5 4 1\nf 2 3 1 4 5\n");
    EXPECT_EQ(indexList(*mesh), (Indices{0, 1, 2, 4, 2, 1, 4, 1, 0, 4, 0, 3}));
}

TEST(ObjFaces, FourCornerFormsFillTheirOwnFloats)
{
    // v alone, v/t, v/t/n, v//n: texture coordinates behind the normal since the file has normals.
    const auto mesh = load("v 1 2 3\nvt 0.25 0.75\nvn 0 0 1\n"
                           "f 1 1 1\nf 1/1 1/1 1/1\nf 1/1/1 1/1/1 1/1/1\nf 1//1 1//1 1//1\n");
    EXPECT_EQ(vertexFloats(*mesh), (Floats{1, 2, 3, 0, 0, 0, 0, 0,
                                           1, 2, 3, 0, 0, 0, 0.25f, -0.75f,
                                           1, 2, 3, 0, 0, 1, 0.25f, -0.75f,
                                           1, 2, 3, 0, 0, 1, 0, 0}));
    EXPECT_EQ(indexList(*mesh), (Indices{0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3}));
}

TEST(ObjFaces, TwoCornersOrFewerDrawNothing)
{
    const auto mesh = load(std::string(kSquare) + "f 1 2\nf 1\nf\nf 1 2 3\n");
    EXPECT_EQ(indexList(*mesh), (Indices{0, 1, 2}));
}

TEST(ObjFaces, VertexWithFourNumbersKeepsThree)
{
    const auto mesh = load("v 1 2 3 1\nf 1 1 1\n");
    EXPECT_EQ(vertexFloats(*mesh), (Floats{1, 2, 3, 0, 0, 0, 0, 0}));
}

TEST(ObjFaces, KeywordsInOtherCaseAndOtherStatementsChangeNothing)
{
    const auto mesh = load(std::string(kSquare) + "V 5 5 5\no thing\ng group\ns 1\nl 1 2\n# f 1 2 3\nF 1 2 3\n"
                           "Usemtl a\nf 1 2 3\nVN 0 0 1\nVT 1 1\n");
    EXPECT_EQ(mesh->vertexCount, 3u);
    EXPECT_EQ(mesh->vertexElementCount, 2u);
    EXPECT_EQ(indexList(*mesh), (Indices{0, 1, 2}));
}

// Texts that load to the vertices and indices of a plainer text.
struct SameMesh
{
    const char* name;
    const char* text;
    const char* plain;
};

const SameMesh kSameMeshes[] = {
    {"crlfTabsAndRunsOfBlanksAreWhiteSpace",
     "\t v\t0.5 \v0\f 0\r\n  vt 1\t\t1\r\nv 0 1 0\r\nv 1 1 0\r\n\r\n\t\r\n  f \t1/1  2/1\t3/1 \r\n",
     "v 0.5 0 0\nvt 1 1\nv 0 1 0\nv 1 1 0\nf 1/1 2/1 3/1\n"},
    {"negativeNumbersCountBackFromTheLinesBefore", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf -3 -2 -1\nv 5 5 5\nf -4 -1 1\n",
     "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nv 5 5 5\nf 1 4 1\n"},
    // Only six numbers colour a position: a weight, and five or seven numbers, are read past.
    {"fourFiveOrSevenNumbersAreNoColour", "v 1 2 3 1\nv 4 5 6 1 0\nv 7 8 9 1 0 0 1\nf 1 2 3\n",
     "v 1 2 3\nv 4 5 6\nv 7 8 9\nf 1 2 3\n"},
};

class ObjSameMesh : public testing::TestWithParam<SameMesh> {};

TEST_P(ObjSameMesh, AsThePlainText)
{
    const auto mesh = load(GetParam().text);
    const auto plain = load(GetParam().plain);
    EXPECT_EQ(vertexFloats(*mesh), vertexFloats(*plain));
    EXPECT_EQ(indexList(*mesh), indexList(*plain));
}

INSTANTIATE_TEST_SUITE_P(Obj, ObjSameMesh, testing::ValuesIn(kSameMeshes), testsupport::RowName());

TEST(ObjFaces, LastLineNeedsNoNewline)
{
    const auto mesh = load("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3");
    EXPECT_EQ(mesh->indexCount, 3u);
}

// ---------------------------------------------------------------- layout

struct LayoutCase
{
    const char* name;
    const char* obj;
    std::vector<std::uint32_t> entries;                // offset, format, usage, usage index per entry
};

const LayoutCase kLayouts[] = {
    {"positionsOnly", "v 0 0 0\nf 1 1 1\n", {0, 3, 1, 0, 0, 0, 0, 0}},
    {"texCoordsNoNormals", "v 0 0 0\nvt 0 0\nf 1/1 1/1 1/1\n", {0, 3, 1, 0, 12, 2, 4, 0, 0, 0, 0, 0}},
    {"normalsNoTexCoords", "v 0 0 0\nvn 0 0 1\nf 1 1 1\n", {0, 3, 1, 0, 12, 3, 2, 0, 0, 0, 0, 0}},
    {"both", "v 0 0 0\nvn 0 0 1\nvt 0 0\nf 1 1 1\n", {0, 3, 1, 0, 12, 3, 2, 0, 24, 2, 4, 0, 0, 0, 0, 0}},
};

class ObjLayout : public testing::TestWithParam<LayoutCase> {};

TEST_P(ObjLayout, ListsTheFileAttributesAndEndsWithZeros)
{
    const auto mesh = load(GetParam().obj);
    ASSERT_EQ(mesh->vertexElementCount * 4, GetParam().entries.size());
    std::vector<std::uint32_t> entries;
    for (std::uint32_t i = 0; i < mesh->vertexElementCount; ++i) {
        const CVertexElement& e = mesh->vertexElements[i];
        entries.insert(entries.end(), {e.offset, e.format, e.usage, e.usageIndex});
    }
    EXPECT_EQ(entries, GetParam().entries);
    EXPECT_EQ(mesh->vertexSize, 32u);
}

INSTANTIATE_TEST_SUITE_P(Obj, ObjLayout, testing::ValuesIn(kLayouts), testsupport::RowName());

// ---------------------------------------------------------------- vertex colours

// Texts and the colour bytes of each of their vertices in turn, behind the eight floats
// (a 36-byte record).
const SameMesh kColours[] = {
    {"sixNumbers", "v 0 0 0 1 0.5 0\nv 1 0 0 0.2 0.4 0.6\nv 0 1 0 0 0 1\nf 1 2 3\n", " ff8000ff 336699ff 0000ffff"},
    {"clampedNotANumberIsZero", "v 0 0 0 2 -1 nan\nv 1 0 0 inf -inf 1e9\nv 0 1 0 1e-3 \\\n 0.999 0.5\nf 1 2 3\n",
     " ff0000ff ff00ffff 00ff80ff"},
    {"uncolouredAreWhite", "v 0 0 0\nv 1 0 0 0 1 0 # green\nv 0 1 0 1 0\nf 1 2 3\n", " ffffffff 00ff00ff ffffffff"},
    // Positions 1 and 3 are one place in one colour, 2 the same place in another.
    {"weldSplitsByColourOnly", "v 0 0 0 1 0 0\nv 0 0 0 0 1 0\nv 0 0 0 1 0 0\nv 1 0 0\nv 0 1 0\nf 1 4 5\nf 2 4 5\nf 3 4 5\n",
     " ff0000ff ffffffff ffffffff 00ff00ff"},
};

class ObjColours : public testing::TestWithParam<SameMesh> {};

TEST_P(ObjColours, FollowTheirPositions)
{
    const auto mesh = load(GetParam().text);
    std::string rgba;
    for (std::uint32_t v = 0; v < mesh->vertexCount && mesh->vertexSize == 36; ++v) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(mesh->vertices + 9 * v + 8);
        char hex[10];
        std::snprintf(hex, sizeof hex, " %02x%02x%02x%02x", bytes[0], bytes[1], bytes[2], bytes[3]);
        rgba += hex;
    }
    EXPECT_EQ(rgba, GetParam().plain);
}

INSTANTIATE_TEST_SUITE_P(Obj, ObjColours, testing::ValuesIn(kColours), testsupport::RowName());

// ---------------------------------------------------------------- welding

TEST(ObjWelding, CubeOfQuadsWithFaceNormalsHas24VerticesAnd36Indices)
{
    const auto mesh = load("v -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\nv -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\n"
                           "vn 0 0 -1\nvn 0 0 1\nvn 0 -1 0\nvn 0 1 0\nvn -1 0 0\nvn 1 0 0\n"
                           "f 1//1 4//1 3//1 2//1\nf 5//2 6//2 7//2 8//2\nf 1//3 2//3 6//3 5//3\n"
                           "f 4//4 8//4 7//4 3//4\nf 1//5 5//5 8//5 4//5\nf 2//6 3//6 7//6 6//6\n");
    EXPECT_EQ(mesh->vertexCount, 24u);
    EXPECT_EQ(mesh->indexCount, 36u);
}

TEST(ObjWelding, EqualValuesShareAVertexWhateverTheirNumbers)
{
    // 1 and 1.000 give the same float; positions 1 and 2 are therefore one vertex.
    const auto mesh = load("v 1 0 0\nv 1.000 0 0\nv 0 1 0\nf 1 3 2\n");
    EXPECT_EQ(indexList(*mesh), (Indices{0, 1, 0}));
    EXPECT_EQ(mesh->vertexCount, 2u);
}

TEST(ObjWelding, ZeroAndNegativeZeroStayApart)
{
    const auto mesh = load("v 0.0 0 0\nv -0.0 0 0\nv 0 1 0\nf 1 2 3\n");
    EXPECT_EQ(indexList(*mesh), (Indices{0, 1, 2}));
    EXPECT_EQ(bitsOf(mesh->vertices[8]), 0x80000000u);
}

TEST(ObjWelding, SamePositionWithAnotherNormalIsAnotherVertex)
{
    const auto mesh = load("v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nvn 0 0 -1\nf 1//1 2//1 3//1\nf 1//2 2//1 3//1\n");
    EXPECT_EQ(indexList(*mesh), (Indices{0, 1, 2, 3, 1, 2}));
}

TEST(ObjWelding, VerticesComeInOrderOfFirstUse)
{
    const auto mesh = load("v 0 0 0\nv 1 0 0\nv 2 0 0\nv 3 0 0\nf 4 2 3\nf 1 2 4\n");
    EXPECT_EQ(vertexFloats(*mesh), (Floats{3, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0,
                                           2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(indexList(*mesh), (Indices{0, 1, 2, 3, 1, 0}));
}

TEST(ObjWelding, ManyDistinctCornersAllSurvive)
{
    // More corners than the table of recent corners holds, with repeats far apart.
    std::ostringstream obj;
    const int count = 40000;
    for (int i = 0; i < count; ++i)
        obj << "v " << i << " 0 0\n";
    for (int i = 1; i + 2 <= count; i += 3)
        obj << "f " << i << ' ' << i + 1 << ' ' << i + 2 << '\n';
    for (int i = 1; i + 2 <= count; i += 3)
        obj << "f " << i + 2 << ' ' << i + 1 << ' ' << i << '\n';
    const auto mesh = load(obj.str());
    ASSERT_EQ(mesh->vertexCount, 39999u);
    const std::uint32_t half = mesh->indexCount / 2;
    for (std::uint32_t i = 0; i < half; i += 3) {
        ASSERT_EQ(mesh->indices[half + i], mesh->indices[i + 2]);
        ASSERT_EQ(mesh->vertices[mesh->indices[i] * 8], static_cast<float>(i));
    }
}

// ---------------------------------------------------------------- material order

const Libraries kLibraryBA = {{"lib.mtl", "newmtl B\nKd 0 0 1\nnewmtl A\nKd 1 0 0\n"}};

TEST(ObjMaterials, TrianglesFollowLibraryOrderAndRunsOfOneNameJoin)
{
    const auto mesh = load(std::string("mtllib lib.mtl\n") + kSquare +
                               "usemtl A\nf 1 2 3\nusemtl B\nf 1 3 4\nf 2 3 4\nusemtl A\nf 4 3 2\n",
                           kLibraryBA);
    EXPECT_EQ(indexList(*mesh), (Indices{0, 2, 3, 1, 2, 3, 0, 1, 2, 3, 2, 1}));
    ASSERT_EQ(mesh->subsets.size(), 2u);
    EXPECT_EQ(mesh->subsets[0].name, "B");
    EXPECT_EQ(mesh->subsets[0].firstIndex, 0);
    EXPECT_EQ(mesh->subsets[0].triangleCount, 2);
    EXPECT_EQ(mesh->subsets[1].name, "A");
    EXPECT_EQ(mesh->subsets[1].firstIndex, 6);
    EXPECT_EQ(mesh->subsets[1].triangleCount, 2);
    EXPECT_EQ(mesh->subsets[1].material.diffuse[0], 1.0f);
}

TEST(ObjMaterials, UnusedMaterialKeepsAnEmptySubsetWhereTheNextStarts)
{
    const auto mesh = load(std::string("mtllib lib.mtl\n") + kSquare + "usemtl A\nf 1 2 3\n", kLibraryBA);
    ASSERT_EQ(mesh->subsets.size(), 2u);
    EXPECT_EQ(mesh->subsets[0].name, "B");
    EXPECT_EQ(mesh->subsets[0].triangleCount, 0);
    EXPECT_EQ(mesh->subsets[0].firstIndex, 0);
    EXPECT_EQ(mesh->subsets[1].firstIndex, 0);
    EXPECT_EQ(mesh->subsets[1].triangleCount, 1);
}

TEST(ObjMaterials, FacesUnderNoMaterialOfTheLibraryFormALastUnnamedSubset)
{
    const auto mesh = load(std::string("mtllib lib.mtl\n") + kSquare +
                               "f 1 2 3\nusemtl A\nf 1 3 4\nusemtl Missing\nf 2 3 4\n",
                           kLibraryBA);
    EXPECT_EQ(indexList(*mesh), (Indices{0, 2, 3, 0, 1, 2, 1, 2, 3}));
    ASSERT_EQ(mesh->subsets.size(), 3u);
    EXPECT_EQ(mesh->subsets[1].name, "A");
    EXPECT_EQ(mesh->subsets[1].triangleCount, 1);
    const CMeshSubset& rest = mesh->subsets[2];
    EXPECT_EQ(rest.name, "");
    EXPECT_EQ(rest.textureFile, "");
    EXPECT_EQ(rest.firstIndex, 3);
    EXPECT_EQ(rest.triangleCount, 2);
    EXPECT_EQ(rest.material.diffuse[0], 0.7f);
    EXPECT_EQ(rest.material.shininess, 10.0f);
}

TEST(ObjMaterials, AllFacesBeforeTheFirstUsemtlStayInTheLastSubset)
{
    const auto mesh = load(std::string("mtllib lib.mtl\n") + kSquare + "f 1 2 3\nf 1 3 4\nusemtl A\n", kLibraryBA);
    EXPECT_EQ(indexList(*mesh), (Indices{0, 1, 2, 0, 2, 3}));
    ASSERT_EQ(mesh->subsets.size(), 3u);
    EXPECT_EQ(mesh->subsets[0].triangleCount, 0);
    EXPECT_EQ(mesh->subsets[1].triangleCount, 0);
    EXPECT_EQ(mesh->subsets[2].firstIndex, 0);
    EXPECT_EQ(mesh->subsets[2].triangleCount, 2);
}

TEST(ObjMaterials, LibraryWithoutUsemtlGivesNoSubsets)
{
    const auto mesh = load(std::string("mtllib lib.mtl\n") + kSquare + "f 1 2 3\nf 1 3 4\n", kLibraryBA);
    EXPECT_TRUE(mesh->subsets.empty());
    EXPECT_EQ(indexList(*mesh), (Indices{0, 1, 2, 0, 2, 3}));
}

TEST(ObjMaterials, UsemtlWithoutLibraryGivesNoSubsetsAndFileOrder)
{
    const auto mesh = load(std::string("mtllib absent.mtl\n") + kSquare + "usemtl B\nf 1 2 3\nusemtl A\nf 1 3 4\n");
    EXPECT_TRUE(mesh->subsets.empty());
    EXPECT_EQ(indexList(*mesh), (Indices{0, 1, 2, 0, 2, 3}));
}

TEST(ObjMaterials, ANameDefinedTwiceTakesItsFacesOnce)
{
    const auto mesh = load(std::string("mtllib lib.mtl\n") + kSquare + "usemtl A\nf 1 2 3\n",
                           {{"lib.mtl", "newmtl A\nKd 1 0 0\nnewmtl A\nKd 0 1 0\n"}});
    ASSERT_EQ(mesh->subsets.size(), 2u);
    EXPECT_EQ(mesh->subsets[0].triangleCount, 1);
    EXPECT_EQ(mesh->subsets[1].triangleCount, 0);
    EXPECT_EQ(mesh->indexCount, 3u);
}

TEST(ObjMaterials, EveryMtllibLineIsReadOnceInOrder)
{
    const auto mesh = load(std::string("mtllib one.mtl\nmtllib two.mtl\nmtllib one.mtl\n") + kSquare +
                               "usemtl Y\nf 1 2 3\nusemtl X\nf 1 3 4\n",
                           {{"one.mtl", "newmtl X\n"}, {"two.mtl", "newmtl Y\n"}});
    ASSERT_EQ(mesh->subsets.size(), 2u);
    EXPECT_EQ(mesh->subsets[0].name, "X");
    EXPECT_EQ(mesh->subsets[1].name, "Y");
    EXPECT_EQ(indexList(*mesh), (Indices{0, 2, 3, 0, 1, 2}));
}

TEST(ObjMaterials, NamesAreTheRestOfTheLineBlanksInsideKept)
{
    const auto mesh = load(std::string("mtllib lib.mtl\n") + kSquare + "usemtl \tHard Blue  # the sides\nf 1 2 3\n",
                           {{"lib.mtl", "newmtl Hard Red\nKd 1 0 0\nnewmtl Hard Blue \r\nKd 0 0 1\n"}});
    ASSERT_EQ(mesh->subsets.size(), 2u);
    EXPECT_EQ(mesh->subsets[1].name, "Hard Blue");
    EXPECT_EQ(mesh->subsets[1].triangleCount, 1);
    EXPECT_EQ(rgba(mesh->subsets[1].material.diffuse), (Floats{0, 0, 1, 1}));
}

TEST(ObjMaterials, ColoursBeforeTheFirstMaterialOfALibraryChangeNoneOfTheLastLibrary)
{
    const auto mesh = load(std::string("mtllib one.mtl\nmtllib two.mtl\n") + kSquare + "usemtl X\nf 1 2 3\n",
                           {{"one.mtl", "newmtl X\nKd 1 0 0\n"}, {"two.mtl", "Kd 0 1 0\nNs 5\nnewmtl Y\n"}});
    EXPECT_EQ(rgba(mesh->subsets.at(0).material.diffuse), (Floats{1, 0, 0, 1}));
    EXPECT_EQ(mesh->subsets.at(0).material.shininess, 10.0f);
}

TEST(ObjMaterials, UsemtlBeforeAnyFaceStartsAtZero)
{
    const auto mesh = load(std::string("mtllib lib.mtl\nusemtl A\n") + kSquare + "f 1 2 3\n", kLibraryBA);
    EXPECT_EQ(mesh->subsets[1].firstIndex, 0);
    EXPECT_EQ(mesh->subsets[1].triangleCount, 1);
}

// ---------------------------------------------------------------- the MTL reader

CMaterial materialOf(const std::string& mtl, std::size_t which = 0)
{
    std::string obj = std::string("mtllib l.mtl\n") + kSquare;
    for (const char* name : {"M", "N"})
        obj += std::string("usemtl ") + name + "\nf 1 2 3\n";
    const auto mesh = load(obj, {{"l.mtl", mtl}});
    return mesh->subsets.at(which).material;
}

TEST(MtlReader, AlphaReachesOnlyTheColoursReadAfterIt)
{
    EXPECT_EQ(rgba(materialOf("newmtl M\nd 0.5\nKd 1 0 0\n").diffuse), (Floats{1, 0, 0, 0.5f}));
    EXPECT_EQ(rgba(materialOf("newmtl M\nKd 1 0 0\nd 0.5\n").diffuse), (Floats{1, 0, 0, 1}));
    EXPECT_EQ(rgba(materialOf("newmtl M\nTr 0.2\nKa 0.1 0.2 0.3\nKs 1 1 1\n").ambient), (Floats{0.1f, 0.2f, 0.3f, 0.2f}));
    EXPECT_EQ(rgba(materialOf("newmtl M\nTr 0.2\nKa 0.1 0.2 0.3\nKs 1 1 1\n").specular), (Floats{1, 1, 1, 0.2f}));
}

TEST(MtlReader, NewMaterialResetsTheAlpha)
{
    EXPECT_EQ(rgba(materialOf("newmtl M\nd 0.5\nnewmtl N\nKd 1 1 1\n", 1).diffuse), (Floats{1, 1, 1, 1}));
}

TEST(MtlReader, ShininessIsTakenUnscaled)
{
    EXPECT_EQ(materialOf("newmtl M\nNs 96\n").shininess, 96.0f);
}

TEST(MtlReader, ByteOrderMarkCrlfAndTabs)
{
    const CMaterial material = materialOf("\xEF\xBB\xBFnewmtl M\r\n\tNs\t5 \r\n  Kd 0 0.5\t1\r\n");
    EXPECT_EQ(material.shininess, 5.0f);
    EXPECT_EQ(rgba(material.diffuse), (Floats{0, 0.5f, 1, 1}));
}

TEST(MtlReader, BackslashAtTheEndOfALineJoinsTheNext)
{
    EXPECT_EQ(rgba(materialOf("newmtl M\nKd 1 \\\n  0.5\\\r\n0\nd \\").diffuse), (Floats{1, 0.5f, 0, 1}));
}

TEST(MtlReader, MaterialWithoutColoursKeepsTheDefaults)
{
    const CMaterial material = materialOf("newmtl M\nillum 2\nKe 1 1 1\nNi 1.5\n");
    EXPECT_EQ(rgba(material.ambient), (Floats{0.1f, 0.1f, 0.1f, 1}));
    EXPECT_EQ(rgba(material.diffuse), (Floats{0.7f, 0.7f, 0.7f, 1}));
    EXPECT_EQ(rgba(material.specular), (Floats{0.2f, 0.2f, 0.2f, 1}));
    EXPECT_EQ(rgba(material.emission), (Floats{0, 0, 0, 1}));
    EXPECT_EQ(material.shininess, 10.0f);
}

TEST(MtlReader, KeywordsInOtherCaseAreIgnored)
{
    const CMaterial material = materialOf("newmtl M\nKD 1 0 0\nkd 1 0 0\nNS 5\nD 0.5\nKd 0 1 0\nNEWMTL N\n");
    EXPECT_EQ(rgba(material.diffuse), (Floats{0, 1, 0, 1}));
    EXPECT_EQ(material.shininess, 10.0f);
}

TEST(MtlReader, ShortStatementsAndStatementsBeforeTheFirstMaterialAreIgnored)
{
    const CMaterial material = materialOf("d 0.5\nKd 0 0 1\nNs 3\nnewmtl\nnewmtl M\nKd 1 0\nKa 1\nNs\nd\nTr\nmap_Kd\n"
                                          "Ks 0.5 0.5 0.5 # shiny\n");
    EXPECT_EQ(rgba(material.diffuse), (Floats{0.7f, 0.7f, 0.7f, 1}));
    EXPECT_EQ(rgba(material.ambient), (Floats{0.1f, 0.1f, 0.1f, 1}));
    EXPECT_EQ(rgba(material.specular), (Floats{0.5f, 0.5f, 0.5f, 1}));
    EXPECT_EQ(material.shininess, 10.0f);
}

struct MapCase
{
    const char* name;
    const char* line;
    const char* textureFile;
};

const MapCase kMaps[] = {
    {"plain", "map_Kd wood.png", "wood.png"},
    {"blanksKept", "map_Kd  Red Brick.png \r", "Red Brick.png"},
    {"backSlashIsAFolder", "map_Kd textures\\wood.png", "textures/wood.png"},
    {"scaleThreeNumbers", "map_Kd -s 1 2 3 wood.png", "wood.png"},
    {"offsetOneNumber", "map_Kd -o 0.5 wood.png", "wood.png"},
    {"turbulenceNameLooksNumeric", "map_Kd -t 1 2 3.png", "3.png"},
    {"oneWordOptions", "map_Kd -blendu on -blendv off -cc on -clamp on -imfchan r -bm 2 -boost 1.5 -texres 512 w.png",
     "w.png"},
    {"rangeTakesTwo", "map_Kd -mm 0 1 w.png", "w.png"},
    {"commentEndsTheName", "map_Kd my wood.png # the floor", "my wood.png"},
    {"typeTakesOne", "map_Kd -type sphere diffuse.jpg", "diffuse.jpg"},
    {"colorspaceTakesOne", "map_Kd -colorspace sRGB -o 0.1 diffuse.jpg", "diffuse.jpg"},
    {"caseOfTheNameKept", "map_Kd Wood.PNG", "Wood.PNG"},
};

class MtlTextureMap : public testing::TestWithParam<MapCase> {};

TEST_P(MtlTextureMap, NamesThePictureAfterItsOptions)
{
    // The mask of map_d is read as the picture of map_Kd.
    const auto mesh = load(std::string("mtllib l.mtl\n") + kSquare + "usemtl M\nf 1 2 3\nusemtl N\nf 1 2 3\n",
                           {{"l.mtl", std::string("newmtl M\n") + GetParam().line + "\nnewmtl N\nmap_d" + (GetParam().line + 6)}});
    EXPECT_EQ(mesh->subsets.at(0).textureFile, GetParam().textureFile);
    EXPECT_EQ(mesh->subsets.at(1).maskFile, GetParam().textureFile);
    EXPECT_EQ(mesh->subsets.at(0).maskFile + mesh->subsets.at(1).textureFile, "");
}

INSTANTIATE_TEST_SUITE_P(Mtl, MtlTextureMap, testing::ValuesIn(kMaps), testsupport::RowName());

// ---------------------------------------------------------------- the small model, from files

TEST(ObjFiles, SmallModelWithItsLibrary)
{
    VELK::CObjLoader loader;
    std::unique_ptr<CMeshData> mesh(static_cast<CMeshData*>(loader.loadFromFile(VELK_TEST_DATA "/obj/small-model.obj")));
    ASSERT_EQ(mesh->vertexElementCount, 3u);
    EXPECT_EQ(mesh->vertexElements[1].offset, 12u);
    EXPECT_EQ(mesh->vertexElements[1].usage, 4u);
    // (u, -v): the texture's v turned to the picture's top-first rows, u as written.
    EXPECT_EQ(vertexFloats(*mesh), (Floats{0, 0, 0, 0, -0.0f, 0, 0, 0, 1, 0, 0, 1, -0.0f, 0, 0, 0,
                                           1, 1, 0, 1, -1, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0}));
    EXPECT_EQ(indexList(*mesh), (Indices{0, 1, 2, 0, 2, 3}));
    ASSERT_EQ(mesh->subsets.size(), 1u);
    const CMeshSubset& subset = mesh->subsets[0];
    EXPECT_EQ(subset.name, "red");
    EXPECT_EQ(subset.firstIndex, 0);
    EXPECT_EQ(subset.triangleCount, 2);
    EXPECT_EQ(rgba(subset.material.diffuse), (Floats{1, 0, 0, 1}));
    EXPECT_EQ(rgba(subset.material.ambient), (Floats{0.1f, 0.1f, 0.1f, 1}));
    EXPECT_EQ(subset.textureFile, "red.png");
    EXPECT_EQ(mesh->libraries, std::vector<std::string>{VELK_TEST_DATA "/obj/small-model.mtl"});
}

TEST(ObjFiles, SameLoaderTwiceAndTwoLoadersAtOnceGiveTheSameMesh)
{
    const std::string path = VELK_TEST_DATA "/obj/small-model.obj";
    VELK::CObjLoader first;
    VELK::CObjLoader second;
    std::unique_ptr<CMeshData> a(static_cast<CMeshData*>(first.loadFromFile(path)));
    std::unique_ptr<CMeshData> b(static_cast<CMeshData*>(second.loadFromFile(path)));
    std::unique_ptr<CMeshData> c(static_cast<CMeshData*>(first.loadFromFile(path)));
    EXPECT_EQ(vertexFloats(*a), vertexFloats(*c));
    EXPECT_EQ(indexList(*b), indexList(*c));
    EXPECT_EQ(c->subsets.size(), 1u);
}

TEST(ObjFiles, LibraryNamedWithBlanksOrBackSlashes)
{
    VELK::CObjLoader loader;
    std::unique_ptr<CMeshData> mesh(static_cast<CMeshData*>(loader.loadFromFile(VELK_TEST_DATA "/obj/library-names.obj")));
    ASSERT_EQ(mesh->subsets.size(), 2u);
    EXPECT_EQ(mesh->subsets[0].name, "first");
    EXPECT_EQ(rgba(mesh->subsets[0].material.diffuse), (Floats{0, 1, 0, 1}));
    EXPECT_EQ(mesh->subsets[1].name, "second");
    EXPECT_EQ(mesh->subsets[1].textureFile, "pictures/Red Brick.png");
}

TEST(ObjFiles, MtllibFallsBackToItsFirstWord)
{
    const auto mesh = load(std::string("mtllib lib.mtl other.mtl\n") + kSquare + "usemtl A\nf 1 2 3\n",
                           {{"lib.mtl", "newmtl A\n"}});
    ASSERT_EQ(mesh->subsets.size(), 1u);
}

TEST(ObjFiles, MtllibWordsAreLibrariesWhenTheWholeLineNamesNone)
{
    const auto mesh = load(std::string("mtllib missing.mtl real.mtl\n") + kSquare + "usemtl A\nf 1 2 3\n",
                           {{"real.mtl", "newmtl A\n"}});
    ASSERT_EQ(mesh->subsets.size(), 1u);
}

TEST(ObjFiles, LibraryIsLookedUpNextToTheModel)
{
    VELK::CObjLoader loader;
    std::vector<std::string> asked;
    const auto reader = [&asked](const std::string& path, std::string&) {
        asked.push_back(path);
        return false;
    };
    delete loader.loadFromText("Data/models\\x/005.obj", "mtllib a b\nmtllib \\c.mtl\nv 0 0 0\nf 1 1 1\n", reader);
    delete loader.loadFromText("plain.obj", "mtllib a.mtl\nv 0 0 0\nf 1 1 1\n", reader);
    // Too long to be one name (over 255 bytes), the whole line is not asked for.
    const std::string longName(200, 'n');
    delete loader.loadFromText("plain.obj", "mtllib " + longName + " " + longName + "\nv 0 0 0\nf 1 1 1\n", reader);
    EXPECT_EQ(asked, (std::vector<std::string>{"Data/models\\x/a b", "Data/models\\x/a", "Data/models\\x/b",
                                               "Data/models\\x//c.mtl", "a.mtl", longName, longName}));
}

TEST(ObjFiles, ByteOrderMarkCrlfAndTabs)
{
    VELK::CObjLoader loader;
    std::unique_ptr<CMeshData> mesh(static_cast<CMeshData*>(loader.loadFromFile(VELK_TEST_DATA "/obj/bom-crlf.obj")));
    EXPECT_EQ(vertexFloats(*mesh), (Floats{0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(indexList(*mesh), (Indices{0, 1, 2}));
}

TEST(ObjFiles, LongLinesAcrossTheReadWindow)
{
    // One face line far longer than the window the file is streamed through.
    std::ostringstream obj;
    obj << "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1";
    for (int i = 0; i < 200000; ++i)
        obj << " 2 3";
    obj << "\nf 3 2 1\n";
    const std::string path = "long-line.obj";
    std::ofstream(path, std::ios::binary) << obj.str();
    VELK::CObjLoader loader;
    std::unique_ptr<CMeshData> mesh(static_cast<CMeshData*>(loader.loadFromFile(path)));
    EXPECT_EQ(mesh->indexCount, 3u * (400000 - 1) + 3u);
    EXPECT_EQ(mesh->vertexCount, 3u);
    EXPECT_EQ(mesh->indices[mesh->indexCount - 1], 0u);
}

TEST(ObjFiles, StreamedFileReadsLikeTheSameTextInMemory)
{
    // Lines of many lengths, so that the read window's edges fall inside keywords,
    // numbers, corners, line ends and statements continued over two lines; one late
    // position coloured, all others white.
    std::ostringstream obj;
    std::uint32_t state = 12345;
    const auto next = [&state](std::uint32_t range) {
        state = state * 1103515245u + 12345u;
        return (state >> 8) % range;
    };
    for (int i = 1; i <= 30000; ++i) {
        obj << "v " << next(1000) << '.' << next(1000000) << ' ' << "-0." << next(100) << "e" << next(3) << ' '
            << next(7) << (i == 25000 ? " 0.5 0.25 1" : "") << std::string(next(3), ' ') << (next(5) == 0 ? "\r\n" : "\n");
        if (i % 3 == 0)
            obj << "vt 0." << next(1000) << " 0." << next(1000) << "\n";
        if (i >= 3 && next(2) == 0)
            obj << "f " << i << '/' << i / 3 << (next(4) == 0 ? " \\\n" : " ") << next(i) + 1 << "/1 -"
                << next(i) + 1 << "/1 " << i - 2
                << (next(4) == 0 ? " 1" : "") << " # face " << i << "\n";
    }
    const std::string text = obj.str();
    ASSERT_GT(text.size(), 4u * 256 * 1024);
    const std::string path = "streamed.obj";
    std::ofstream(path, std::ios::binary) << text;

    VELK::CObjLoader loader;
    std::unique_ptr<CMeshData> streamed(static_cast<CMeshData*>(loader.loadFromFile(path)));
    const auto inMemory = load(text);
    ASSERT_EQ(streamed->vertexCount, inMemory->vertexCount);
    ASSERT_EQ(inMemory->vertexSize, 36u);
    EXPECT_EQ(std::memcmp(streamed->vertices, inMemory->vertices, inMemory->vertexCount * 36u), 0);
    EXPECT_EQ(indexList(*streamed), indexList(*inMemory));
    EXPECT_GT(inMemory->indexCount, 30000u);
    // Cut into chunks, continued lines and counted-back numbers meet the chunks' edges.
    for (unsigned threads : {2u, 7u}) {
        std::unique_ptr<CMeshData> chunked(loader.loadStreamed(path, readerOf({}), 256 * 1024, threads));
        EXPECT_TRUE(sameMesh(*chunked, *inMemory)) << threads << " threads";
    }
}

TEST(ObjFiles, MissingFileThrowsAfterItsReason)
{
    GlobalLogLines log;
    VELK::CObjLoader loader;
    try {
        loader.loadFromFile("no/such/file.obj");
        FAIL() << "no exception";
    } catch (const DEBUGGING::CException& e) {
        EXPECT_EQ(std::string(e.what()), "VELK::CObjLoader::loadFromFile no/such/file.obj [FAILED]");
    }
    const std::vector<std::string> lines = log.sinceMark();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(GlobalLogLines::errorText(lines.back()),
              "VELK::CObjLoader::loadFromFile : no/such/file.obj : cannot open: No such file or directory");
}

TEST(ObjFiles, LibraryThatIsNoFileIsNamedAndTheModelLoadsWithoutIt)
{
    std::ofstream("fifo-lib.obj") << "mtllib fifo.mtl\n" << kSquare << "usemtl A\nf 1 2 3\n";
    ASSERT_EQ(mkfifo("fifo.mtl", 0600), 0);
    GlobalLogLines log;
    VELK::CObjLoader loader;
    std::unique_ptr<CMeshData> mesh(static_cast<CMeshData*>(loader.loadFromFile("fifo-lib.obj")));
    EXPECT_EQ(mesh->subsets.size(), 0u);
    const std::vector<std::string> lines = log.sinceMark();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(GlobalLogLines::errorText(lines.back()), "VELK::CObjLoader::loadFromFile : fifo.mtl : is a FIFO");
}

// Streamed through windows of a few bytes, every word and line is cut at some window's
// edge, and a line longer than the window makes it grow; the mesh is the one the whole
// text gives.
TEST(ObjFiles, TinyWindowsGiveTheMeshOfTheWholeText)
{
    const std::string text = "\xEF\xBB\xBFmtllib lib.mtl\r\nv 0.125 -1e1 3 # " + std::string(300, 'x') +
                             "\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0.5 0.25\nusemtl B\nf 1/1 2/1 3/1\nusemtl A\n"
                             "f -4/1 -2/1 -1/1";
    std::ofstream("windows.obj", std::ios::binary) << text;
    const auto expected = load(text, kLibraryBA);
    // In chunks as well: the mark only at the start of the file, numbers counted back over
    // chunks that hold no vertex.
    for (std::size_t window : {1, 2, 3, 5, 8, 13, 64}) {
        for (unsigned threads : {1u, 2u, 7u}) {
            SCOPED_TRACE(std::to_string(window) + " bytes, " + std::to_string(threads) + " threads");
            VELK::CObjLoader loader;
            std::unique_ptr<CMeshData> mesh(loader.loadStreamed("windows.obj", readerOf(kLibraryBA), window, threads));
            EXPECT_TRUE(sameMesh(*mesh, *expected));
            ASSERT_EQ(mesh->subsets.size(), 2u);
            EXPECT_EQ(mesh->subsets[1].triangleCount, 1);
        }
    }
}

// ---------------------------------------------------------------- decided corner cases

TEST(ObjCorners, EachCornerKeepsItsOwnNumbers)
{
    // The second corner gives no texture coordinate, the third no normal.
    const auto mesh = load("v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0.5 0.5\nvn 0 0 1\nf 1/1/1 2//1 3/1\n");
    EXPECT_EQ(vertexFloats(*mesh), (Floats{0, 0, 0, 0, 0, 1, 0.5f, -0.5f, 1, 0, 0, 0, 0, 1, 0, 0,
                                           0, 1, 0, 0, 0, 0, 0.5f, -0.5f}));
}

TEST(ObjCorners, PositiveNumbersMayNameLaterElements)
{
    const auto mesh = load("f 1/1/1 2/1/1 3/1/1\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvt 1 1\nvn 0 1 0\n");
    EXPECT_EQ(mesh->vertexCount, 3u);
    EXPECT_EQ(mesh->vertices[8 + 4], 1.0f);
    EXPECT_EQ(mesh->vertices[8 + 6], 1.0f);
}

TEST(ObjCorners, NumbersForAListTheFileLacksAreIgnored)
{
    const auto mesh = load("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1/7/0 2/-9/99999999999 3/0/-1\n");
    EXPECT_EQ(mesh->vertexElementCount, 2u);
    EXPECT_EQ(vertexFloats(*mesh), (Floats{0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0}));
}

TEST(ObjCorners, ShortVectorsTakeZerosAndKeepTheirPlace)
{
    const auto mesh = load("v 1\nv\nv 0 1 0\nvn 1\nvn 0 0 1\nvt\nvt 0.5 0.5\nf 1/2/2 2/2/2 3/1/1\n");
    EXPECT_EQ(vertexFloats(*mesh), (Floats{1, 0, 0, 0, 0, 1, 0.5f, -0.5f, 0, 0, 0, 0, 0, 1, 0.5f, -0.5f,
                                           0, 1, 0, 1, 0, 0, 0, -0.0f}));
}

TEST(ObjCorners, WordStartingWithHashEndsTheStatement)
{
    const auto mesh = load("v 1 2 #3\nv 4#5 6 7\nv 0 0 0 # origin\nf 1 2 3 #4\nusemtl #x\n");
    EXPECT_EQ(vertexFloats(*mesh), (Floats{1, 2, 0, 0, 0, 0, 0, 0, 4, 6, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(mesh->indexCount, 3u);
}

TEST(ObjCorners, BackslashAtTheEndOfALineJoinsTheNextWithABlank)
{
    const auto mesh = load("v 0\\\r\n0 0\nv 1 0 0 \\\n\nv 0 1 0\nf 1 2\\\n3 \\\n\\\n4\nv 0 2 0\n\\");
    EXPECT_EQ(vertexFloats(*mesh), (Floats{0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0,
                                           0, 1, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(indexList(*mesh), (Indices{0, 1, 2, 0, 2, 3}));
}

TEST(ObjCorners, NamelessMtllibAndUsemtlAreIgnored)
{
    const auto mesh = load(std::string("mtllib\nmtllib lib.mtl\n") + kSquare + "usemtl A\nf 1 2 3\nusemtl\nf 1 3 4\n",
                           kLibraryBA);
    ASSERT_EQ(mesh->subsets.size(), 2u);
    EXPECT_EQ(mesh->subsets[1].name, "A");
    EXPECT_EQ(mesh->subsets[1].triangleCount, 2);
}

// ---------------------------------------------------------------- bad files

struct BadObj
{
    const char* name;
    const char* text;
    const char* logText;                               // after the time and tag
};

const BadObj kBadIndices[] = {
    {"zero", "v 0 0 0\nf 0 1 1\n", "VELK::CObjLoader::loadFromFile : m.obj line 2 : position number 0 is out of range"},
    {"pastEnd", "v 0 0 0\nf 1 1 2\n", "VELK::CObjLoader::loadFromFile : m.obj line 2 : position number 2 is out of range"},
    {"negativePastStart", "v 0 0 0\nf -2 1 1\n",
     "VELK::CObjLoader::loadFromFile : m.obj line 2 : position number -2 is out of range"},
    {"negativeCountsOnlyLinesBefore", "v 0 0 0\nf 1 1 -2\nv 1 1 1\n",
     "VELK::CObjLoader::loadFromFile : m.obj line 2 : position number -2 is out of range"},
    {"emptyPosition", "v 0 0 0\nf 1 /1 1\n",
     "VELK::CObjLoader::loadFromFile : m.obj line 2 : position number 0 is out of range"},
    {"notANumber", "v 0 0 0\nf 1 1 x\n",
     "VELK::CObjLoader::loadFromFile : m.obj line 2 : position number 0 is out of range"},
    {"tooLarge", "v 0 0 0\nf 1 1 4294967297\n",
     "VELK::CObjLoader::loadFromFile : m.obj line 2 : position number 4294967297 is too large"},
    {"texCoordZero", "v 0 0 0\nvt 0 0\nf 1/0 1/1 1/1\n",
     "VELK::CObjLoader::loadFromFile : m.obj line 3 : texture-coordinate number 0 is out of range"},
    {"normalPastEnd", "v 0 0 0\nvn 0 0 1\nf 1//1 1//1 1//2\n",
     "VELK::CObjLoader::loadFromFile : m.obj line 3 : normal number 2 is out of range"},
    {"normalBeforeAnyNormalLine", "v 0 0 0\nf 1//-1 1 1\nvn 0 0 1\n",
     "VELK::CObjLoader::loadFromFile : m.obj line 2 : normal number -1 is out of range"},
    {"texCoordTooLargeBeforeAnyLine", "v 0 0 0\nf 1/99999999999 1 1\nvt 0 0\n",
     "VELK::CObjLoader::loadFromFile : m.obj line 2 : texture-coordinate number 99999999999 is too large"},
    {"texCoordBeyondTheListFilledLater", "v 0 0 0\nf 1/2 1 1\nvt 0 0\n",
     "VELK::CObjLoader::loadFromFile : m.obj line 2 : texture-coordinate number 2 is out of range"},
    {"faultWaitingForItsListIsEarlier", "v 0 0 0\nf 1//-1 1 1\nf 0 1 1\nvn 0 0 1\n",
     "VELK::CObjLoader::loadFromFile : m.obj line 2 : normal number -1 is out of range"},
    {"earliestLineIsNamed", "v 0 0 0\nf 1 1 7\nf 0 1 1\nv 1 1 1\n",
     "VELK::CObjLoader::loadFromFile : m.obj line 2 : position number 7 is out of range"},
    {"continuedLinesCountedOneByOne", "v 0 \\\n0 0\nf 1 \\\r\n1 \\\n\n\nf 1 1 2\n",
     "VELK::CObjLoader::loadFromFile : m.obj line 7 : position number 2 is out of range"},
    {"faultInAFaceOfTwoCorners", "v 0 0 0\nf 1 0\nf 1 1 1\n",
     "VELK::CObjLoader::loadFromFile : m.obj line 2 : position number 0 is out of range"},
    {"negativePastStartInAFaceOfTwoCorners", "v 0 0 0\nf 1 -2\nf 1 1 1\n",
     "VELK::CObjLoader::loadFromFile : m.obj line 2 : position number -2 is out of range"},
};

class BadIndex : public testing::TestWithParam<BadObj> {};

TEST_P(BadIndex, IsRejectedWithOneErrorLine)
{
    EXPECT_EQ(rejectionOf(GetParam().text), GetParam().logText);
    for (unsigned threads : {2u, 7u})
        EXPECT_EQ(rejectionOf(GetParam().text, "m.obj", {}, threads), GetParam().logText) << threads << " threads";
}

INSTANTIATE_TEST_SUITE_P(Obj, BadIndex, testing::ValuesIn(kBadIndices), testsupport::RowName());

const BadObj kNoTriangles[] = {
    {"empty", "", "VELK::CObjLoader::loadFromFile : m.obj : no faces"},
    {"verticesOnly", "v 0 0 0\nv 1 0 0\n", "VELK::CObjLoader::loadFromFile : m.obj : no faces"},
    {"onlyTwoCornerFaces", "v 0 0 0\nf 1 1\n", "VELK::CObjLoader::loadFromFile : m.obj : no faces"},
    {"crOnlyLineEnds", "v 0 0 0\rf 1 1 1\r", "VELK::CObjLoader::loadFromFile : m.obj : no faces"},
};

class NoTriangles : public testing::TestWithParam<BadObj> {};

TEST_P(NoTriangles, IsRejectedWithOneErrorLine)
{
    EXPECT_EQ(rejectionOf(GetParam().text), GetParam().logText);
    for (unsigned threads : {2u, 7u})
        EXPECT_EQ(rejectionOf(GetParam().text, "m.obj", {}, threads), GetParam().logText) << threads << " threads";
}

INSTANTIATE_TEST_SUITE_P(Obj, NoTriangles, testing::ValuesIn(kNoTriangles), testsupport::RowName());

TEST(ObjFiles, RejectedFileFromDiskNamesItsPath)
{
    const std::string path = "face-index-zero.obj";
    std::ofstream(path, std::ios::binary) << "v 0 0 0\n\nf 1 1 0\n";
    GlobalLogLines log;
    VELK::CObjLoader loader;
    EXPECT_THROW(loader.loadFromFile(path), DEBUGGING::CException);
    const std::vector<std::string> lines = log.sinceMark();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(GlobalLogLines::errorText(lines.back()),
              "VELK::CObjLoader::loadFromFile : face-index-zero.obj line 3 : position number 0 is out of range");
    // The loader is clean for the next file.
    std::unique_ptr<CMeshData> mesh(static_cast<CMeshData*>(loader.loadFromFile(VELK_TEST_DATA "/obj/small-model.obj")));
    EXPECT_EQ(mesh->vertexCount, 4u);
}

// ---------------------------------------------------------------- the corpora of real-world models

// Where each corpus lies, the file of its expectations below tests/data/obj, and the Debian
// package that installs it; the shared corpus beside the repository is read where present.
struct Corpus
{
    const char* root;
    const char* counts;
    const char* package;                               // empty: optional
};
const Corpus kCorpora[] = {
    {VELK_ASSIMP_MODELS, "assimp-testmodels-counts.txt", "assimp-testmodels"},
    {VELK_CORPUS, "corpus-counts.txt", ""},
};

struct CorpusModel
{
    std::string path;                                  // empty: a row whose model is missing
    bool listed = false;                               // false: a model without a row
    std::uint32_t triangles = 0;
    std::uint32_t vertices = 0;
    std::size_t subsets = 0;
    bool rejected = false;
    std::string rejection;                             // the log text after the path
};

// The expectations of a counts file, by path below the corpus folder.
std::map<std::string, CorpusModel> corpusCounts(const std::string& counts)
{
    std::map<std::string, CorpusModel> models;
    std::ifstream file(VELK_TEST_DATA "/obj/" + counts);
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> fields;
        std::size_t at = 0;
        for (std::size_t tab; (tab = line.find('\t', at)) != std::string::npos; at = tab + 1)
            fields.push_back(line.substr(at, tab - at));
        fields.push_back(line.substr(at));
        fields.resize(std::max<std::size_t>(fields.size(), 4), "0");
        CorpusModel& model = models[fields[0]];
        model.listed = true;
        model.triangles = static_cast<std::uint32_t>(std::stoul(fields[1]));
        model.vertices = static_cast<std::uint32_t>(std::stoul(fields[2]));
        model.subsets = std::stoul(fields[3]);
        model.rejected = fields.size() > 4;
        model.rejection = model.rejected ? fields[4] : "";
    }
    return models;
}

void findModels(const std::string& folder, const std::string& below, std::vector<std::string>& found)
{
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string path = folder + "/" + name;
        struct stat info;
        if (stat(path.c_str(), &info) != 0)
            continue;
        if (S_ISDIR(info.st_mode)) {
            findModels(path, below + name + "/", found);
        } else if (name.size() > 4 && toLower(name.substr(name.size() - 4)) == ".obj") {
            found.push_back(below + name);
        }
    }
    closedir(dir);
}

// The models of every corpus at hand joined with the rows of its counts file.
std::vector<CorpusModel> corpusModels()
{
    std::vector<CorpusModel> models;
    for (const Corpus& corpus : kCorpora) {
        struct stat info;
        if (stat(corpus.root, &info) != 0) {
            if (*corpus.package)
                ADD_FAILURE() << "install the Debian package " << corpus.package
                              << " (scripts/setup does): no models at " << corpus.root;
            continue;
        }
        std::map<std::string, CorpusModel> rows = corpusCounts(corpus.counts);
        std::vector<std::string> found;
        findModels(corpus.root, "", found);
        for (const std::string& relative : found)
            rows[relative].path = std::string(corpus.root) + "/" + relative;
        for (const auto& row : rows)
            models.push_back(row.second);
    }
    return models;
}

// Every model loads with its counts or is rejected with its reason.
TEST(ObjCorpus, CountsOrRejectionReasons)
{
    for (const CorpusModel& model : corpusModels()) {
        SCOPED_TRACE(model.path);
        if (!model.listed || model.path.empty()) {
            ADD_FAILURE() << (model.listed ? "a row without its model" : "a model without a row");
            continue;
        }
        GlobalLogLines log;
        VELK::CObjLoader loader;
        std::unique_ptr<CMeshData> mesh;
        try {
            mesh.reset(static_cast<CMeshData*>(loader.loadFromFile(model.path)));
        } catch (const DEBUGGING::CException& e) {
            EXPECT_EQ(std::string(e.what()), "VELK::CObjLoader::loadFromFile " + model.path + " [FAILED]");
            const std::vector<std::string> lines = log.sinceMark();
            ASSERT_EQ(lines.size(), 1u);
            EXPECT_EQ(GlobalLogLines::errorText(lines.back()),
                      "VELK::CObjLoader::loadFromFile : " + model.path + (model.rejected ? model.rejection : " loads"));
            continue;
        }
        ASSERT_FALSE(model.rejected) << "loads, expected: " << model.rejection;
        EXPECT_EQ(mesh->indexCount, 3 * model.triangles);
        EXPECT_EQ(mesh->vertexCount, model.vertices);
        EXPECT_EQ(mesh->subsets.size(), model.subsets);
        EXPECT_EQ(meshFault(*mesh), "");
    }
}

// Each model, cut into chunks parsed on several threads, gives the mesh or the log lines
// of one thread.
TEST(ObjCorpus, ThreadsMatchOneThread)
{
    const auto loadWith = [](const std::string& path, unsigned threads, std::vector<std::string>& lines) {
        GlobalLogLines log;
        VELK::CObjLoader loader;
        std::unique_ptr<CMeshData> mesh;
        try {
            mesh.reset(loader.loadStreamed(path, &VELK::CObjLoader::readWholeFile, 4096, threads));
        } catch (const DEBUGGING::CException&) {
        }
        lines = log.sinceMark();
        return mesh;
    };
    for (const CorpusModel& model : corpusModels()) {
        if (model.path.empty())
            continue;
        std::vector<std::string> oneLines;
        const std::unique_ptr<CMeshData> one = loadWith(model.path, 1, oneLines);
        for (unsigned threads : {2u, 7u}) {
            SCOPED_TRACE(model.path + ", " + std::to_string(threads) + " threads");
            std::vector<std::string> lines;
            const std::unique_ptr<CMeshData> many = loadWith(model.path, threads, lines);
            ASSERT_EQ(!many, !one);
            EXPECT_TRUE(!one || sameMesh(*many, *one));
            EXPECT_EQ(lines, oneLines);
        }
    }
}

// Faces that are simple but not convex fill exactly their outlines: the triangles' areas add
// up to the outlines' (half the length of Newell's normal), where overlapping fans would
// count more. wallhole.obj continues its long faces over lines ending in a back slash: the
// loader reads the file as it is, the outlines are read here from the joined lines.
TEST(ObjCorpus, ConcaveFacesFillOutlines)
{
    using Point = std::array<double, 3>;
    const auto newell = [](const std::vector<Point>& outline) {
        Point n = {0, 0, 0};
        for (std::size_t k = 0; k < outline.size(); ++k) {
            const Point& p = outline[k];
            const Point& q = outline[(k + 1) % outline.size()];
            for (int i = 0; i < 3; ++i)
                n[i] += (p[(i + 1) % 3] - q[(i + 1) % 3]) * (p[(i + 2) % 3] + q[(i + 2) % 3]);
        }
        return std::hypot(n[0], n[1], n[2]) / 2;
    };
    const std::regex concave("/(OBJ/concave_polygon|OBJ/box_longline|models/wallhole|models/issue-319-00[23])\\.obj$");
    bool packaged = false;
    for (const CorpusModel& model : corpusModels()) {
        if (!std::regex_search(model.path, concave))
            continue;
        SCOPED_TRACE(model.path);
        packaged = packaged || model.path.rfind(VELK_ASSIMP_MODELS, 0) == 0;
        std::stringstream text;
        text << std::ifstream(model.path, std::ios::binary).rdbuf();
        const std::string obj = std::regex_replace(text.str(), std::regex(R"(\\\r?\n)"), " ");
        const auto mesh = load(text.str());
        double triangles = 0.0;
        for (std::uint32_t t = 0; t < mesh->indexCount; t += 3) {
            std::vector<Point> corners;
            for (std::uint32_t k = t; k < t + 3; ++k)
                corners.push_back({mesh->vertices[8 * mesh->indices[k]], mesh->vertices[8 * mesh->indices[k] + 1],
                                   mesh->vertices[8 * mesh->indices[k] + 2]});
            triangles += newell(corners);
        }
        std::vector<Point> positions;
        double outlines = 0.0;
        std::istringstream lines(obj);
        for (std::string line, keyword; std::getline(lines, line);) {
            std::istringstream words(line);
            words >> keyword;
            std::vector<Point> corners;
            Point p;
            if (keyword == "v" && words >> p[0] >> p[1] >> p[2])
                positions.push_back(p);
            for (std::string corner; keyword == "f" && words >> corner;)
                corners.push_back(positions.at(std::stoul(corner) - 1));
            outlines += corners.empty() ? 0.0 : newell(corners);
        }
        EXPECT_NEAR(triangles, outlines, 1e-4 * outlines);
    }
    EXPECT_TRUE(packaged) << "no concave model of the package was checked";
}

// The fast loader against a plain one written here from the rules alone: every element
// read in order, every corner turned into its 32-byte record (36 with colours), equal records found through
// an ordered map, faces cut by the face triangulator and ordered by library material.
namespace reference
{

struct CMesh
{
    std::vector<std::array<std::uint32_t, 9>> vertices;   // bit patterns; the last is the colour, or 0
    std::uint32_t vertexSize = 32;
    Indices indices;
    std::vector<std::tuple<std::string, std::int32_t, std::int32_t>> subsets;  // name, first index, triangles
};

std::vector<std::string> wordsOf(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> words;
    std::string word;
    while (in >> word)
        words.push_back(word);
    return words;
}

// One corner number: positive counts from 1, negative back from the last element so far.
std::size_t elementOf(const std::string& text, std::size_t count)
{
    const long number = std::stol(text);
    return static_cast<std::size_t>(number > 0 ? number - 1 : static_cast<long>(count) + number);
}

// Only the statements the generator below writes; the library names materials b, a, c.
CMesh load(const std::string& obj)
{
    const std::vector<std::string> library = {"b", "a", "c"};
    CMesh mesh;
    std::vector<std::array<float, 3>> positions, normals;
    std::vector<std::array<float, 2>> texCoords;
    std::vector<std::uint32_t> colours;            // r, g, b, a bytes in memory order
    struct CFace
    {
        std::vector<std::array<long, 3>> corners;  // element + 1 or 0, per kind
        std::size_t group;
    };
    std::vector<CFace> faces;
    std::size_t group = library.size();            // faces under no material of the library
    bool anyMaterial = false;
    std::istringstream lines(obj);
    std::string line;
    while (std::getline(lines, line)) {
        const std::vector<std::string> words = wordsOf(line);
        if (words.empty())
            continue;
        const auto number = [&](std::size_t k) { return static_cast<float>(std::strtod(words[k].c_str(), nullptr)); };
        if (words[0] == "v") {
            positions.push_back({number(1), number(2), number(3)});
            std::uint8_t rgba[4] = {255, 255, 255, 255};
            for (std::size_t k = 4; words.size() == 7 && k < 7; ++k)
                rgba[k - 4] = std::isnan(number(k)) ? 0 : std::lround(std::clamp(number(k), 0.0f, 1.0f) * 255.0f);
            colours.push_back(0);
            std::memcpy(&colours.back(), rgba, 4);
            mesh.vertexSize = words.size() == 7 ? 36 : mesh.vertexSize;
        } else if (words[0] == "vn") {
            normals.push_back({number(1), number(2), number(3)});
        } else if (words[0] == "vt") {
            texCoords.push_back({number(1), -number(2)});
        } else if (words[0] == "usemtl") {
            anyMaterial = true;
            group = library.size();
            for (std::size_t m = 0; m < library.size(); ++m) {
                if (library[m] == words[1])
                    group = m;
            }
        } else if (words[0] == "f") {
            CFace face{{}, group};
            for (std::size_t k = 1; k < words.size(); ++k) {
                std::vector<std::string> parts(1);
                for (char c : words[k]) {
                    if (c == '/')
                        parts.emplace_back();
                    else
                        parts.back() += c;
                }
                parts.resize(3);
                face.corners.push_back(
                    {static_cast<long>(elementOf(parts[0], positions.size()) + 1),
                     parts[1].empty() ? 0 : static_cast<long>(elementOf(parts[1], texCoords.size()) + 1),
                     parts[2].empty() ? 0 : static_cast<long>(elementOf(parts[2], normals.size()) + 1)});
            }
            faces.push_back(face);
        }
    }

    std::map<std::array<std::uint32_t, 9>, std::uint32_t> seen;
    const std::size_t texCoordAt = normals.empty() ? 3 : 6;
    std::vector<Indices> groups(library.size() + 1);
    for (const CFace& face : faces) {
        Indices corners;
        for (const std::array<long, 3>& corner : face.corners) {
            float record[8] = {};
            std::memcpy(record, positions[corner[0] - 1].data(), 12);
            if (corner[1] != 0)
                std::memcpy(record + texCoordAt, texCoords[corner[1] - 1].data(), 8);
            if (corner[2] != 0)
                std::memcpy(record + 3, normals[corner[2] - 1].data(), 12);
            std::array<std::uint32_t, 9> bits = {};
            std::memcpy(bits.data(), record, sizeof record);
            bits[8] = mesh.vertexSize == 36 ? colours[corner[0] - 1] : 0;
            const auto found = seen.emplace(bits, static_cast<std::uint32_t>(mesh.vertices.size()));
            if (found.second)
                mesh.vertices.push_back(bits);
            corners.push_back(found.first->second);
        }
        // Cutting faces into triangles has tests of its own; the same cut is taken here.
        std::vector<float> outline;
        Indices order;
        for (const std::array<long, 3>& corner : face.corners) {
            outline.insert(outline.end(), positions[corner[0] - 1].begin(), positions[corner[0] - 1].end());
            order.push_back(static_cast<std::uint32_t>(order.size()));
        }
        Indices triangles(3 * (order.size() - 2));
        VELK::CFaceTriangulator().triangulate(outline.data(), 3, order.data(), static_cast<std::uint32_t>(order.size()),
                                              triangles.data());
        for (std::uint32_t& corner : triangles)
            corner = corners[corner];
        Indices& group = groups[anyMaterial ? face.group : 0];
        group.insert(group.end(), triangles.begin(), triangles.end());
    }
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const bool named = g < library.size();
        if (anyMaterial && (named || !groups[g].empty()))
            mesh.subsets.emplace_back(named ? library[g] : std::string(), static_cast<std::int32_t>(mesh.indices.size()),
                                      static_cast<std::int32_t>(groups[g].size() / 3));
        mesh.indices.insert(mesh.indices.end(), groups[g].begin(), groups[g].end());
    }
    return mesh;
}

} // namespace reference

// A model of the kinds exporters write, and the oddities the rules allow: numbers from a
// small set so that equal values under other numbers occur, both zeros, counting back,
// corners of all four forms, faces before any material and under a name the library lacks.
std::string generatedModel(std::uint32_t seed, std::size_t faceCount)
{
    std::uint32_t state = seed * 2654435761u + 1;
    const auto next = [&state](std::uint32_t range) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % range;
    };
    const char* const values[] = {"0", "-0", "0.5", "1", "-1.25", "1e-3", "3.14159265", "-7", "0.1", "2.5e2"};
    const auto value = [&]() { return std::string(values[next(10)]); };
    const bool withNormals = next(4) != 0;
    const bool withTexCoords = next(4) != 0;
    // Odd seeds colour most positions, in colours from a small set, clamped ones among them.
    const char* const colours[] = {"0", "1", "0.5", "2", "-1", "nan", "1e-3", "0.25"};
    const char* const materials[] = {"a", "b", "c", "zz"};
    std::string obj = "mtllib m.mtl\n";
    std::size_t positions = 0, normals = 0, texCoords = 0;
    for (std::size_t face = 0; face < faceCount; ++face) {
        while (positions < 3 || next(3) == 0) {
            obj += "v " + value() + " " + value() + " " + value();
            for (int k = 0; seed % 2 == 1 && k < 3 && next(8) != 0; ++k)
                obj += std::string(" ") + colours[next(8)];
            obj += "\n";
            ++positions;
        }
        while (withNormals && (normals == 0 || next(4) == 0)) {
            obj += "vn " + value() + " " + value() + " " + value() + "\n";
            ++normals;
        }
        while (withTexCoords && (texCoords == 0 || next(4) == 0)) {
            obj += "vt " + value() + " " + value() + "\n";
            ++texCoords;
        }
        if (next(16) == 0)
            obj += std::string("usemtl ") + materials[next(4)] + "\n";
        const auto number = [&](std::size_t count) {
            const std::size_t element = next(static_cast<std::uint32_t>(count));
            return next(5) == 0 ? "-" + std::to_string(count - element) : std::to_string(element + 1);
        };
        const std::uint32_t form = next(4);
        obj += "f";
        for (std::uint32_t corner = 0, corners = 3 + next(4); corner < corners; ++corner) {
            obj += " " + number(positions);
            if (form == 1 && withTexCoords)
                obj += "/" + number(texCoords);
            else if (form == 2 && withNormals)
                obj += "//" + number(normals);
            else if (form == 3)
                obj += "/" + (withTexCoords ? number(texCoords) : std::string()) + "/" +
                       (withNormals ? number(normals) : std::string());
        }
        obj += "\n";
    }
    return obj;
}

const Libraries kDifferentialLibrary = {{"m.mtl", "newmtl b\nKd 1 0 0\nnewmtl a\nnewmtl c\n"}};

void expectSameAsReference(const CMeshData& mesh, const reference::CMesh& expected)
{
    ASSERT_EQ(mesh.vertexCount, expected.vertices.size());
    ASSERT_EQ(mesh.vertexSize, expected.vertexSize);
    for (std::size_t v = 0; v < expected.vertices.size(); ++v) {
        std::array<std::uint32_t, 9> bits = {};
        std::memcpy(bits.data(), mesh.vertices + mesh.vertexSize / 4 * v, mesh.vertexSize);
        ASSERT_EQ(bits, expected.vertices[v]) << "vertex " << v;
    }
    EXPECT_EQ(indexList(mesh), expected.indices);
    std::vector<std::tuple<std::string, std::int32_t, std::int32_t>> subsets;
    for (const CMeshSubset& subset : mesh.subsets)
        subsets.emplace_back(subset.name, subset.firstIndex, subset.triangleCount);
    EXPECT_EQ(subsets, expected.subsets);
}

class ObjDifferential : public testing::TestWithParam<std::uint32_t>
{
};

TEST_P(ObjDifferential, SmallGeneratedModelsLoadAsThePlainReaderSays)
{
    for (std::uint32_t k = 0; k < 25; ++k) {
        const std::string obj = generatedModel(GetParam() * 100 + k, 1 + k * 7);
        SCOPED_TRACE(obj);
        expectSameAsReference(*load(obj, kDifferentialLibrary), reference::load(obj));
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, ObjDifferential, testing::Range<std::uint32_t>(0, 8));

// Large enough to cross the reading window many times and to fill the welding table far
// beyond the recently seen corners; the timed load must give the same mesh.
class ObjDifferentialFile : public testing::TestWithParam<std::uint32_t> {};

TEST_P(ObjDifferentialFile, LargeGeneratedFileLoadsAsThePlainReaderSays)
{
    const std::string obj = generatedModel(GetParam(), 60000);
    ASSERT_GT(obj.size(), 1000000u);
    {
        std::ofstream("big.obj", std::ios::binary) << obj;
        std::ofstream("m.mtl", std::ios::binary) << kDifferentialLibrary.at("m.mtl");
    }
    const reference::CMesh expected = reference::load(obj);
    VELK::CObjLoader loader;
    std::unique_ptr<CMeshData> mesh(static_cast<CMeshData*>(loader.loadFromFile("big.obj")));
    expectSameAsReference(*mesh, expected);
    for (unsigned threads : {2u, 7u}) {
        SCOPED_TRACE(threads);
        mesh.reset(loader.loadStreamed("big.obj", &VELK::CObjLoader::readWholeFile, 64 * 1024, threads));
        expectSameAsReference(*mesh, expected);
    }
    VELK::CObjLoader::CPhaseTimes times;
    loader.setPhaseTimes(&times);
    mesh.reset(static_cast<CMeshData*>(loader.loadFromFile("big.obj")));
    expectSameAsReference(*mesh, expected);
    EXPECT_GT(times.parse, 0.0);
    EXPECT_GT(times.weld, 0.0);
}

INSTANTIATE_TEST_SUITE_P(Seeds, ObjDifferentialFile, testing::Values(4242u, 4243u));

} // namespace
