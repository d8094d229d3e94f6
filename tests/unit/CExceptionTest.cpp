// The engine exception: its message, copies, and catching it through the standard base.
#include <gtest/gtest.h>

#include <exception>
#include <memory>
#include <string>
#include <type_traits>

#include "debugging/CException.h"

using DEBUGGING::CException;

static_assert(std::is_base_of_v<std::exception, CException>);
static_assert(std::is_copy_constructible_v<CException> && std::is_copy_assignable_v<CException>);

namespace
{
const char* const kMessages[] = {
    "",
    "VELK::CPictureLoader::loadFromFile a.bmp [FAILED]",
    "text with\nline end and \xC3\xA9",
};
} // namespace

TEST(CException, WhatReturnsTheMessageExactly)
{
    for (const char* message : kMessages) {
        const CException exception{std::string(message)};
        EXPECT_STREQ(exception.what(), message);
    }
}

TEST(CException, CaughtAsStdExceptionGivesTheEnginesMessage)
{
    std::string caught;
    try {
        throw CException("VELK::CObjLoader::loadFromFile Data/005.obj [FAILED]");
    } catch (const std::exception& e) {
        caught = e.what();
    }
    EXPECT_EQ(caught, "VELK::CObjLoader::loadFromFile Data/005.obj [FAILED]");
}

TEST(CException, CopyKeepsItsMessageAfterTheSourceIsGone)
{
    auto source = std::make_unique<CException>("VELK::CPictureLoader::saveToFile out.png [FAILED]");
    const CException copied(*source);
    CException assigned("other");
    assigned = *source;
    source.reset();
    EXPECT_STREQ(copied.what(), "VELK::CPictureLoader::saveToFile out.png [FAILED]");
    EXPECT_STREQ(assigned.what(), "VELK::CPictureLoader::saveToFile out.png [FAILED]");
}

TEST(CException, ThrownByValueCaughtByReferenceKeepsItsMessage)
{
    const CException original("VELK::CPictureLoader::loadFromFile a.bmp [FAILED]");
    try {
        throw original;
    } catch (const CException& e) {
        EXPECT_NE(&e, &original);
        EXPECT_STREQ(e.what(), original.what());
    }
}
