#pragma once
// Rows of the tests' tables go by their names: a row prints as its name in failure messages
// and test listings instead of as a dump of its bytes (a test file brings the printer to its
// rows with `using testsupport::operator<<;`), and RowName() names each test of a table
// after its row: INSTANTIATE_TEST_SUITE_P(Obj, BadIndex, testing::ValuesIn(kBadIndices), RowName()).

#include <cctype>
#include <ostream>
#include <string>

namespace testsupport
{

template <class Row>
auto operator<<(std::ostream& out, const Row& row) -> decltype(row.name, out)
{
    return out << row.name;
}

// Characters that a test name cannot hold become '_'.
struct RowName
{
    template <class Info>
    std::string operator()(const Info& info) const
    {
        std::string name = info.param.name;
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        }
        return name;
    }
};

} // namespace testsupport
