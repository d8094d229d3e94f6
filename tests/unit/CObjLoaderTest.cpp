// The OBJ loader: grammar, triangulation, welding, material order, the MTL reader, the
// rejection of bad files with their log line, and the corpus of real-world models.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cctype>
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

std::unique_ptr<CMeshData> load(const std::string& obj, const Libraries& libraries = {})
{
    VELK::CObjLoader loader;
    return std::unique_ptr<CMeshData>(loader.loadFromText("m.obj", obj, readerOf(libraries)));
}

Floats vertexFloats(const CMeshData& mesh)
{
    return Floats(mesh.vertices, mesh.vertices + mesh.vertexCount * 8);
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

// The entries of global.log after its header: the header's last line reaches the file only
// with the first entry written after it.
std::vector<std::string> logLines()
{
    std::ifstream file("global.log");
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(file, line)) {
        if (line.find(" -> -- LOGGING START --") == std::string::npos && line.rfind("LOG NAME : ", 0) != 0 &&
            !line.empty())
            lines.push_back(line);
    }
    return lines;
}

// The text of a log line once its time of day and tag are checked.
std::string errorText(const std::string& line)
{
    static const std::regex pattern("^[0-9]{1,2}:[0-9]{1,2}:[0-9]{1,2} -> \\[ ERROR \\] (.*)$");
    std::smatch match;
    if (!std::regex_match(line, match, pattern))
        return "not an error line: " + line;
    return match[1];
}

// Loads text that must be rejected; returns the one error line written for it.
std::string rejectionOf(const std::string& obj, const std::string& name = "m.obj", const Libraries& libraries = {})
{
    const std::size_t before = logLines().size();
    VELK::CObjLoader loader;
    try {
        delete loader.loadFromText(name, obj, readerOf(libraries));
    } catch (const DEBUGGING::CException& e) {
        EXPECT_EQ(std::string(e.what()), "VELK::CObjLoader::loadFromFile " + name + " [FAILED]");
        const std::vector<std::string> lines = logLines();
        if (lines.size() != before + 1)
            return "expected one new log line, found " + std::to_string(lines.size() - before);
        return errorText(lines.back());
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

TEST(ObjFaces, CrlfTabsAndRunsOfBlanksAreWhiteSpace)
{
    const auto plain = load("v 0.5 0 0\nvt 1 1\nv 0 1 0\nv 1 1 0\nf 1/1 2/1 3/1\n");
    const auto messy = load("\t v\t0.5 \v0\f 0\r\n  vt 1\t\t1\r\nv 0 1 0\r\nv 1 1 0\r\n\r\n\t\r\n  f \t1/1  2/1\t3/1 \r\n");
    EXPECT_EQ(vertexFloats(*messy), vertexFloats(*plain));
    EXPECT_EQ(indexList(*messy), indexList(*plain));
}

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

INSTANTIATE_TEST_SUITE_P(Obj, ObjLayout, testing::ValuesIn(kLayouts),
                         [](const auto& info) { return std::string(info.param.name); });

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
    const auto mesh = load(std::string("mtllib l.mtl\n") + kSquare + "usemtl M\nf 1 2 3\n",
                           {{"l.mtl", std::string("newmtl M\n") + GetParam().line + "\n"}});
    EXPECT_EQ(mesh->subsets.at(0).textureFile, GetParam().textureFile);
}

INSTANTIATE_TEST_SUITE_P(Mtl, MtlTextureMap, testing::ValuesIn(kMaps),
                         [](const auto& info) { return std::string(info.param.name); });

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
    EXPECT_EQ(asked, (std::vector<std::string>{"Data/models\\x/a b", "Data/models\\x/a", "Data/models\\x/b",
                                               "Data/models\\x//c.mtl", "a.mtl"}));
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
    // numbers, corners, line ends and statements continued over two lines.
    std::ostringstream obj;
    std::uint32_t state = 12345;
    const auto next = [&state](std::uint32_t range) {
        state = state * 1103515245u + 12345u;
        return (state >> 8) % range;
    };
    for (int i = 1; i <= 30000; ++i) {
        obj << "v " << next(1000) << '.' << next(1000000) << ' ' << "-0." << next(100) << "e" << next(3) << ' '
            << next(7) << std::string(next(3), ' ') << (next(5) == 0 ? "\r\n" : "\n");
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
    EXPECT_EQ(std::memcmp(streamed->vertices, inMemory->vertices, inMemory->vertexCount * 32u), 0);
    EXPECT_EQ(indexList(*streamed), indexList(*inMemory));
    EXPECT_GT(inMemory->indexCount, 30000u);
}

TEST(ObjFiles, MissingFileThrowsAfterItsReason)
{
    const std::size_t before = logLines().size();
    VELK::CObjLoader loader;
    try {
        loader.loadFromFile("no/such/file.obj");
        FAIL() << "no exception";
    } catch (const DEBUGGING::CException& e) {
        EXPECT_EQ(std::string(e.what()), "VELK::CObjLoader::loadFromFile no/such/file.obj [FAILED]");
    }
    const std::vector<std::string> lines = logLines();
    ASSERT_EQ(lines.size(), before + 1);
    EXPECT_EQ(errorText(lines.back()),
              "VELK::CObjLoader::loadFromFile : no/such/file.obj : cannot open: No such file or directory");
}

TEST(ObjFiles, LibraryThatIsNoFileIsNamedAndTheModelLoadsWithoutIt)
{
    std::ofstream("fifo-lib.obj") << "mtllib fifo.mtl\n" << kSquare << "usemtl A\nf 1 2 3\n";
    ASSERT_EQ(mkfifo("fifo.mtl", 0600), 0);
    const std::size_t before = logLines().size();
    VELK::CObjLoader loader;
    std::unique_ptr<CMeshData> mesh(static_cast<CMeshData*>(loader.loadFromFile("fifo-lib.obj")));
    EXPECT_EQ(mesh->subsets.size(), 0u);
    const std::vector<std::string> lines = logLines();
    ASSERT_EQ(lines.size(), before + 1);
    EXPECT_EQ(errorText(lines.back()), "VELK::CObjLoader::loadFromFile : fifo.mtl : is a FIFO");
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
    for (std::size_t window : {1, 2, 3, 5, 8, 13, 64}) {
        SCOPED_TRACE(window);
        VELK::CObjLoader loader;
        std::unique_ptr<CMeshData> mesh(loader.loadStreamed("windows.obj", readerOf(kLibraryBA), window));
        EXPECT_EQ(vertexFloats(*mesh), vertexFloats(*expected));
        EXPECT_EQ(indexList(*mesh), indexList(*expected));
        ASSERT_EQ(mesh->subsets.size(), 2u);
        EXPECT_EQ(mesh->subsets[1].triangleCount, 1);
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

TEST(ObjCorners, NegativeNumbersCountBackFromTheLinesBefore)
{
    const auto relative = load("v 0 0 0\nv 1 0 0\nv 0 1 0\nf -3 -2 -1\nv 5 5 5\nf -4 -1 1\n");
    const auto absolute = load("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nv 5 5 5\nf 1 4 1\n");
    EXPECT_EQ(vertexFloats(*relative), vertexFloats(*absolute));
    EXPECT_EQ(indexList(*relative), indexList(*absolute));
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
};

class BadIndex : public testing::TestWithParam<BadObj> {};

TEST_P(BadIndex, IsRejectedWithOneErrorLine)
{
    EXPECT_EQ(rejectionOf(GetParam().text), GetParam().logText);
}

INSTANTIATE_TEST_SUITE_P(Obj, BadIndex, testing::ValuesIn(kBadIndices),
                         [](const auto& info) { return std::string(info.param.name); });

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
}

INSTANTIATE_TEST_SUITE_P(Obj, NoTriangles, testing::ValuesIn(kNoTriangles),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ObjFiles, RejectedFileFromDiskNamesItsPath)
{
    const std::string path = "face-index-zero.obj";
    std::ofstream(path, std::ios::binary) << "v 0 0 0\n\nf 1 1 0\n";
    const std::size_t before = logLines().size();
    VELK::CObjLoader loader;
    EXPECT_THROW(loader.loadFromFile(path), DEBUGGING::CException);
    const std::vector<std::string> lines = logLines();
    ASSERT_EQ(lines.size(), before + 1);
    EXPECT_EQ(errorText(lines.back()),
              "VELK::CObjLoader::loadFromFile : face-index-zero.obj line 3 : position number 0 is out of range");
    // The loader is clean for the next file.
    std::unique_ptr<CMeshData> mesh(static_cast<CMeshData*>(loader.loadFromFile(VELK_TEST_DATA "/obj/small-model.obj")));
    EXPECT_EQ(mesh->vertexCount, 4u);
}

// ---------------------------------------------------------------- the corpus of real-world models

struct CorpusModel
{
    const char* path;                                  // below the corpus folder
    std::uint32_t triangles;
    std::uint32_t vertices;
    std::size_t subsets;
    const char* rejection;                             // the log text after the path; null when it loads
};

// Counts checked against an independent loader's triangle counts where that one reads the
// file; box_longline's 936-corner face gives 934 triangles here.
const CorpusModel kCorpus[] = {
    {"assimp/test/models-nonbsd/OBJ/segment.obj", 1536, 936, 2, nullptr},
    {"assimp/test/models/OBJ/WusonOBJ.obj", 3732, 2117, 0, nullptr},
    {"assimp/test/models/OBJ/box.obj", 12, 8, 0, nullptr},
    {"assimp/test/models/OBJ/box_UTF16BE.obj", 0, 0, 0, " : no faces"},
    {"assimp/test/models/OBJ/box_longline.obj", 944, 8, 0, nullptr},
    {"assimp/test/models/OBJ/box_mat_with_spaces.obj", 12, 8, 12, nullptr},
    {"assimp/test/models/OBJ/box_without_lineending.obj", 12, 8, 0, nullptr},
    {"assimp/test/models/OBJ/concave_polygon.obj", 64, 64, 1, nullptr},
    {"assimp/test/models/OBJ/cube_mtllib_after_g.obj", 12, 24, 0, nullptr},
    {"assimp/test/models/OBJ/cube_usemtl.obj", 12, 24, 3, nullptr},
    {"assimp/test/models/OBJ/cube_with_vertexcolors.obj", 12, 24, 0, nullptr},
    {"assimp/test/models/OBJ/cube_with_vertexcolors_uni.obj", 12, 24, 0, nullptr},
    {"assimp/test/models/OBJ/empty_mat.obj", 256, 450, 0, nullptr},
    {"assimp/test/models/OBJ/mtl_different_folder.obj", 12, 8, 1, nullptr},
    {"assimp/test/models/OBJ/multiple_spaces.obj", 1, 3, 0, nullptr},
    {"assimp/test/models/OBJ/number_formats.obj", 1, 3, 0, nullptr},
    {"assimp/test/models/OBJ/only_a_part_of_vertexcolors.obj", 3, 5, 0, nullptr},
    {"assimp/test/models/OBJ/point_cloud.obj", 0, 0, 0, " : no faces"},
    {"assimp/test/models/OBJ/regr01.obj", 2710, 1675, 12, nullptr},
    {"assimp/test/models/OBJ/regr_3429812.obj", 4, 4, 1, nullptr},
    {"assimp/test/models/OBJ/space_in_material_name.obj", 64, 64, 1, nullptr},
    {"assimp/test/models/OBJ/spider.obj", 1368, 946, 5, nullptr},
    {"assimp/test/models/OBJ/testline.obj", 0, 0, 0, " : no faces"},
    {"assimp/test/models/OBJ/testmixed.obj", 12, 8, 0, nullptr},
    {"assimp/test/models/OBJ/testpoints.obj", 0, 0, 0, " : no faces"},
    {"common-3d-test-models/data/spot.obj", 5856, 3225, 0, nullptr},
    {"common-3d-test-models/data/teapot.obj", 6320, 3325, 0, nullptr},
    {"cornell-box-mcguire/CornellBox-Original.obj", 36, 28, 8, nullptr},
    {"javagl-obj/src/test/resources/fourTrianglesInMixedGroups.obj", 4, 6, 3, nullptr},
    {"javagl-obj/src/test/resources/fourTrianglesPartiallyInMaterialGroups.obj", 4, 6, 3, nullptr},
    {"javagl-obj/src/test/resources/square.obj", 2, 4, 0, nullptr},
    {"javagl-obj/src/test/resources/squareAndTriangle.obj", 3, 5, 0, nullptr},
    {"javagl-obj/src/test/resources/squareAndTriangleInTwoGroups.obj", 3, 5, 0, nullptr},
    {"javagl-obj/src/test/resources/squareAndTriangleWithRelativeIndices.obj", 3, 5, 0, nullptr},
    {"javagl-obj/src/test/resources/squareTextured.obj", 2, 4, 0, nullptr},
    {"javagl-obj/src/test/resources/twoTrianglesOneInDefaultGroup.obj", 2, 4, 0, nullptr},
    {"javagl-obj/src/test/resources/twoTrianglesSharedInThreeGroups.obj", 2, 4, 0, nullptr},
    {"javagl-obj/src/test/resources/twoTrianglesWithAmbiguousTexCoords.obj", 2, 5, 0, nullptr},
    {"obj-rs/obj-rs/tests/fixtures/cube.obj", 12, 14, 1, nullptr},
    {"obj-rs/obj-rs/tests/fixtures/dome.obj", 62, 33, 0, nullptr},
    {"obj-rs/obj-rs/tests/fixtures/empty.obj", 0, 0, 0, " : no faces"},
    {"obj-rs/obj-rs/tests/fixtures/group.obj", 9, 1, 0, nullptr},
    {"obj-rs/obj-rs/tests/fixtures/lines_points.obj", 0, 0, 0, " : no faces"},
    {"obj-rs/obj-rs/tests/fixtures/normal-cone.obj", 32, 96, 0, nullptr},
    {"obj-rs/obj-rs/tests/fixtures/textured-cube.obj", 12, 24, 2, nullptr},
    {"obj-rs/obj-rs/tests/fixtures/untitled.obj", 24, 10, 2, nullptr},
    {"pywavefront/examples/data/box/box-C3F_V3F.obj", 12, 8, 1, nullptr},
    {"pywavefront/examples/data/box/box-N3F_V3F.obj", 12, 24, 1, nullptr},
    {"pywavefront/examples/data/box/box-T2F_C3F_V3F.obj", 12, 20, 1, nullptr},
    {"pywavefront/examples/data/box/box-T2F_N3F_V3F.obj", 12, 24, 1, nullptr},
    {"pywavefront/examples/data/box/box-T2F_V3F.obj", 12, 20, 1, nullptr},
    {"pywavefront/examples/data/box/box-V3F.obj", 12, 8, 1, nullptr},
    {"pywavefront/examples/data/uv_sphere.obj", 4224, 2203, 1, nullptr},
    {"pywavefront/tests/fixtures/arbitrary-faces.obj", 17, 9, 0, nullptr},
    {"pywavefront/tests/fixtures/simple.obj", 2, 6, 2, nullptr},
    {"pywavefront/tests/fixtures/simple_colors.obj", 2, 6, 2, nullptr},
    {"pywavefront/tests/fixtures/simple_extra_empty_lines.obj", 2, 6, 2, nullptr},
    {"pywavefront/tests/fixtures/simple_missing_material.obj", 2, 6, 0, nullptr},
    {"pywavefront/tests/fixtures/simple_missing_normal.obj", 4, 9, 2, nullptr},
    {"pywavefront/tests/fixtures/simple_missing_uv.obj", 4, 9, 2, nullptr},
    {"pywavefront/tests/fixtures/simple_negative_indices.obj", 2, 6, 2, nullptr},
    {"pywavefront/tests/fixtures/simple_no_mtl.obj", 2, 3, 0, nullptr},
    {"pywavefront/tests/fixtures/simple_no_object_no_mtl.obj", 2, 3, 0, nullptr},
    {"pywavefront/tests/fixtures/simple_normals.obj", 2, 6, 2, nullptr},
    {"pywavefront/tests/fixtures/simple_one_vertex.obj", 0, 0, 0, " : no faces"},
    {"pywavefront/tests/fixtures/simple_positions.obj", 2, 6, 2, nullptr},
    {"pywavefront/tests/fixtures/simple_unknown_usemtl.obj", 1, 3, 3, nullptr},
    {"pywavefront/tests/fixtures/simple_vt.obj", 2, 6, 2, nullptr},
    {"pywavefront/tests/fixtures/simple_zero_indices.obj", 0, 0, 0, " line 26 : normal number 0 is out of range"},
    {"rapidobj/tests/data/color/color.obj", 12, 8, 0, nullptr},
    {"rapidobj/tests/data/cube/cube.obj", 12, 8, 0, nullptr},
    {"rapidobj/tests/data/mtllib/cube.obj", 12, 8, 3, nullptr},
    {"rapidobj/tests/data/mtllib/cube_mtllib_missing.obj", 12, 8, 0, nullptr},
    {"rapidobj/tests/data/primitives/primitives.obj", 4, 8, 0, nullptr},
    {"rapidobj/tests/data/teapot/teapot.obj", 6320, 3484, 0, nullptr},
    {"tinyobjloader/models-newer-text/issue-389-comment.obj", 12, 24, 0, nullptr},
    {"tinyobjloader/models-newer-text/numeric-edge-cases.obj", 2, 6, 0, nullptr},
    {"tinyobjloader/models-newer-text/texcoord-w-mixed.obj", 2, 4, 0, nullptr},
    {"tinyobjloader/models/catmark_torus_creases0.obj", 64, 128, 0, nullptr},
    {"tinyobjloader/models/colorspace-issue-184.obj", 1, 3, 1, nullptr},
    {"tinyobjloader/models/cornell_box.obj", 36, 28, 5, nullptr},
    {"tinyobjloader/models/cornell_box_multimaterial.obj", 36, 28, 5, nullptr},
    {"tinyobjloader/models/cube-vertex-w-component.obj", 12, 8, 5, nullptr},
    {"tinyobjloader/models/cube-vertexcol.obj", 12, 8, 5, nullptr},
    {"tinyobjloader/models/cube.obj", 12, 8, 5, nullptr},
    {"tinyobjloader/models/invalid-face-definition.obj", 0, 0, 0, " : no faces"},
    {"tinyobjloader/models/invalid-relative-texture-index.obj", 0, 0, 0, " line 2 : texture-coordinate number -2 is out of range"},
    {"tinyobjloader/models/invalid-relative-vertex-index.obj", 0, 0, 0, " line 1 : position number -4 is out of range"},
    {"tinyobjloader/models/issue-138.obj", 12, 24, 2, nullptr},
    {"tinyobjloader/models/issue-140-zero-face-idx.obj", 0, 0, 0, " line 16 : position number 0 is out of range"},
    {"tinyobjloader/models/issue-161-inconsistent-f.obj", 12, 22, 6, nullptr},
    {"tinyobjloader/models/issue-162-smoothing-group.obj", 12, 24, 2, nullptr},
    {"tinyobjloader/models/issue-235-usemtl-then-o.obj", 2, 6, 2, nullptr},
    {"tinyobjloader/models/issue-244-mtl-searchpaths.obj", 2, 6, 0, nullptr},
    {"tinyobjloader/models/issue-246-usemtl-whitespace.obj", 1, 3, 1, nullptr},
    {"tinyobjloader/models/issue-248-texres-texopt.obj", 12, 8, 5, nullptr},
    {"tinyobjloader/models/issue-295-trianguation-failure.obj", 28, 44, 0, nullptr},
    {"tinyobjloader/models/issue-319-002.obj", 14, 19, 0, nullptr},
    {"tinyobjloader/models/issue-319-003.obj", 8, 10, 0, nullptr},
    {"tinyobjloader/models/issue-330.obj", 3, 5, 0, nullptr},
    {"tinyobjloader/models/issue-356-leading-spaces-newmtl.obj", 0, 0, 0, " : no faces"},
    {"tinyobjloader/models/issue-92.obj", 1, 3, 1, nullptr},
    {"tinyobjloader/models/issue-95-2.obj", 1, 3, 1, nullptr},
    {"tinyobjloader/models/issue-95.obj", 1, 3, 1, nullptr},
    {"tinyobjloader/models/leading-decimal-dot-issue-201.obj", 1, 3, 1, nullptr},
    {"tinyobjloader/models/leading-zero-in-exponent-notation-issue-210.obj", 1, 3, 1, nullptr},
    {"tinyobjloader/models/line-prim.obj", 0, 0, 0, " : no faces"},
    {"tinyobjloader/models/map-bump.obj", 400, 676, 2, nullptr},
    {"tinyobjloader/models/missing_material_file.obj", 36, 28, 0, nullptr},
    {"tinyobjloader/models/mtl filename with whitespace issue46.obj", 12, 8, 0, nullptr},
    {"tinyobjloader/models/mtllib-multiple-files-issue-112.obj", 1, 3, 1, nullptr},
    {"tinyobjloader/models/no_material.obj", 36, 28, 0, nullptr},
    {"tinyobjloader/models/norm-texopt.obj", 1, 3, 1, nullptr},
    {"tinyobjloader/models/pbr-mat-ext.obj", 2, 4, 1, nullptr},
    {"tinyobjloader/models/points-prim.obj", 0, 0, 0, " : no faces"},
    {"tinyobjloader/models/refl.obj", 12, 8, 5, nullptr},
    {"tinyobjloader/models/skin-weight.obj", 12, 8, 5, nullptr},
    {"tinyobjloader/models/smoothing-group-two-squares.obj", 3, 5, 0, nullptr},
    {"tinyobjloader/models/smoothing-normal.obj", 6, 8, 5, nullptr},
    {"tinyobjloader/models/test-nan.obj", 36, 31, 5, nullptr},
    {"tinyobjloader/models/texture-filename-with-whitespace.obj", 12, 8, 5, nullptr},
    {"tinyobjloader/models/texture-options-issue-85.obj", 1, 3, 3, nullptr},
    {"tinyobjloader/models/tr-and-d-issue-43.obj", 400, 676, 2, nullptr},
    {"tinyobjloader/models/usemtl-issue-104.obj", 6, 12, 6, nullptr},
    {"tinyobjloader/models/usemtl-issue-68.obj", 400, 676, 2, nullptr},
    {"tinyobjloader/tests/issue-177.obj", 12, 8, 5, nullptr},
    {"trimesh/models/box.obj", 12, 24, 2, nullptr},
    {"trimesh/models/chair_model.obj", 12756, 11250, 0, nullptr},
    {"trimesh/models/cube.OBJ", 12, 8, 0, nullptr},
    {"trimesh/models/cube_compressed.obj", 12, 24, 0, nullptr},
    {"trimesh/models/cubevt.obj", 12, 24, 0, nullptr},
    {"trimesh/models/empty.obj", 0, 0, 0, " : no faces"},
    {"trimesh/models/emptyIO/obj_empty.obj", 0, 0, 0, " : no faces"},
    {"trimesh/models/emptyIO/obj_points.obj", 0, 0, 0, " : no faces"},
    {"trimesh/models/emptyIO/obj_wireframe.obj", 0, 0, 0, " : no faces"},
    {"trimesh/models/face_in_group_name.obj", 0, 0, 0, " : no faces"},
    {"trimesh/models/face_in_group_name_mid_file.obj", 2, 5, 0, nullptr},
    {"trimesh/models/fuze.obj", 1000, 664, 1, nullptr},
    {"trimesh/models/groups.obj", 2308, 1156, 0, nullptr},
    {"trimesh/models/ico4uv.obj", 1280, 3840, 1, nullptr},
    {"trimesh/models/jacked.obj", 12, 8, 0, nullptr},
    {"trimesh/models/joined_tetrahedra.obj", 8, 15, 0, nullptr},
    {"trimesh/models/nancolor.obj", 12, 8, 0, nullptr},
    {"trimesh/models/negative_indices.obj", 12, 24, 0, nullptr},
    {"trimesh/models/noimg.obj", 1000, 664, 0, nullptr},
    {"trimesh/models/notenoughindices.obj", 1, 3, 0, nullptr},
    {"trimesh/models/obj_with_no_face_in_chunk.obj", 1, 3, 0, nullptr},
    {"trimesh/models/polygonfaces.obj", 3, 5, 0, nullptr},
    {"trimesh/models/quadknot.obj", 2880, 2879, 0, nullptr},
    {"trimesh/models/rabbit.obj", 1252, 690, 1, nullptr},
    {"trimesh/models/reference.obj", 1610, 845, 0, nullptr},
    {"trimesh/models/singlevn.obj", 2, 4, 0, nullptr},
    {"trimesh/models/target.obj", 3318, 1715, 0, nullptr},
    {"trimesh/models/textured_tetrahedron.obj", 4, 6, 0, nullptr},
    {"trimesh/models/two_objects.obj", 16, 8, 0, nullptr},
    {"trimesh/models/wallhole.obj", 66, 92, 0, nullptr},
};

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
        } else if (name.size() > 4) {
            std::string extension = name.substr(name.size() - 4);
            for (char& c : extension)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (extension == ".obj")
                found.push_back(below + name);
        }
    }
    closedir(dir);
}

TEST(ObjCorpus, EveryModelLoadsWithItsCountsOrIsRejectedWithItsReason)
{
    const std::string root = VELK_CORPUS;
    struct stat info;
    if (stat(root.c_str(), &info) != 0)
        GTEST_SKIP() << "no corpus at " << root;
    std::vector<std::string> found;
    findModels(root, "", found);
    std::map<std::string, const CorpusModel*> expected;
    for (const CorpusModel& model : kCorpus)
        expected[model.path] = &model;
    EXPECT_EQ(found.size(), expected.size());

    for (const std::string& relative : found) {
        SCOPED_TRACE(relative);
        const auto entry = expected.find(relative);
        if (entry == expected.end()) {
            ADD_FAILURE() << "a model without expectations";
            continue;
        }
        const CorpusModel& model = *entry->second;
        const std::string path = root + "/" + relative;
        const std::size_t before = logLines().size();
        VELK::CObjLoader loader;
        std::unique_ptr<CMeshData> mesh;
        try {
            mesh.reset(static_cast<CMeshData*>(loader.loadFromFile(path)));
        } catch (const DEBUGGING::CException& e) {
            EXPECT_EQ(std::string(e.what()), "VELK::CObjLoader::loadFromFile " + path + " [FAILED]");
            const std::vector<std::string> lines = logLines();
            ASSERT_EQ(lines.size(), before + 1);
            EXPECT_EQ(errorText(lines.back()),
                      "VELK::CObjLoader::loadFromFile : " + path + (model.rejection ? model.rejection : " loads"));
            continue;
        }
        ASSERT_EQ(model.rejection, nullptr) << "loads, expected: " << model.rejection;
        EXPECT_EQ(mesh->indexCount, 3 * model.triangles);
        EXPECT_EQ(mesh->vertexCount, model.vertices);
        EXPECT_EQ(mesh->subsets.size(), model.subsets);
        for (std::uint32_t i = 0; i < mesh->indexCount; ++i)
            ASSERT_LT(mesh->indices[i], mesh->vertexCount);
        std::int64_t next = 0;
        for (const CMeshSubset& subset : mesh->subsets) {
            EXPECT_EQ(subset.firstIndex, next);
            next += 3 * static_cast<std::int64_t>(subset.triangleCount);
        }
        if (!mesh->subsets.empty()) {
            EXPECT_EQ(next, mesh->indexCount);
        }
    }
}

// Faces that are simple but not convex fill exactly their outlines: the triangles' areas add
// up to the outlines' (half the length of Newell's normal), where overlapping fans would
// count more. wallhole.obj continues its long faces over lines ending in a back slash: the
// loader reads the file as it is, the outlines are read here from the joined lines.
TEST(ObjCorpus, ConcaveFacesFillTheirOutlines)
{
    struct stat info;
    if (stat(VELK_CORPUS, &info) != 0)
        GTEST_SKIP() << "no corpus at " << VELK_CORPUS;
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
    for (const char* relative : {"assimp/test/models/OBJ/concave_polygon.obj", "trimesh/models/wallhole.obj",
                                 "tinyobjloader/models/issue-319-002.obj", "tinyobjloader/models/issue-319-003.obj"}) {
        SCOPED_TRACE(relative);
        std::stringstream text;
        text << std::ifstream(std::string(VELK_CORPUS) + "/" + relative, std::ios::binary).rdbuf();
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
}

// The fast loader against a plain one written here from the rules alone: every element
// read in order, every corner turned into its 32-byte record, equal records found through
// an ordered map, faces cut by the face triangulator and ordered by library material.
namespace reference
{

struct CMesh
{
    std::vector<std::array<std::uint32_t, 8>> vertices;   // bit patterns
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
    std::vector<std::array<float, 3>> positions, normals;
    std::vector<std::array<float, 2>> texCoords;
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

    CMesh mesh;
    std::map<std::array<std::uint32_t, 8>, std::uint32_t> seen;
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
            std::array<std::uint32_t, 8> bits;
            std::memcpy(bits.data(), record, sizeof record);
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
    const char* const materials[] = {"a", "b", "c", "zz"};
    std::string obj = "mtllib m.mtl\n";
    std::size_t positions = 0, normals = 0, texCoords = 0;
    for (std::size_t face = 0; face < faceCount; ++face) {
        while (positions < 3 || next(3) == 0) {
            obj += "v " + value() + " " + value() + " " + value() + "\n";
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
    for (std::size_t v = 0; v < expected.vertices.size(); ++v) {
        std::array<std::uint32_t, 8> bits;
        std::memcpy(bits.data(), mesh.vertices + 8 * v, sizeof bits);
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
TEST(ObjDifferentialFile, LargeGeneratedFileLoadsAsThePlainReaderSays)
{
    const std::string obj = generatedModel(4242, 60000);
    ASSERT_GT(obj.size(), 1000000u);
    {
        std::ofstream("big.obj", std::ios::binary) << obj;
        std::ofstream("m.mtl", std::ios::binary) << kDifferentialLibrary.at("m.mtl");
    }
    const reference::CMesh expected = reference::load(obj);
    VELK::CObjLoader loader;
    std::unique_ptr<CMeshData> mesh(static_cast<CMeshData*>(loader.loadFromFile("big.obj")));
    expectSameAsReference(*mesh, expected);
    VELK::CObjLoader::CPhaseTimes times;
    loader.setPhaseTimes(&times);
    mesh.reset(static_cast<CMeshData*>(loader.loadFromFile("big.obj")));
    expectSameAsReference(*mesh, expected);
    EXPECT_GT(times.parse, 0.0);
    EXPECT_GT(times.weld, 0.0);
}

} // namespace
