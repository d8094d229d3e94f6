// Vertex and index buffers on a real context, read back from OpenGL.
#include <GL/glew.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "gl/CGLBuffer.h"
#include "tests/support/GLTestState.h"

namespace
{

template <GLenum target>
struct BufferTarget
{
    static constexpr GLenum kTarget = target;
    static constexpr GLenum kBinding =
        target == GL_ARRAY_BUFFER ? GL_ARRAY_BUFFER_BINDING : GL_ELEMENT_ARRAY_BUFFER_BINDING;
    using Buffer = VELK_GL::CGLBuffer<target>;
};

template <class T>
class CGLBufferGL : public testing::Test
{
protected:
    using Buffer = typename T::Buffer;

    static GLuint bound()
    {
        GLint name = -1;
        glGetIntegerv(T::kBinding, &name);
        return static_cast<GLuint>(name);
    }
    static GLint parameter(GLenum name)
    {
        GLint value = -1;
        glGetBufferParameterivARB(T::kTarget, name, &value);
        return value;
    }
    static std::vector<unsigned char> contents(const Buffer& buffer, std::size_t bytes)
    {
        std::vector<unsigned char> data(bytes);
        glBindBufferARB(T::kTarget, buffer.bufferId);
        glGetBufferSubDataARB(T::kTarget, 0, static_cast<GLsizeiptrARB>(bytes), data.data());
        return data;
    }

    GLStateGuard guard;
};

using Targets = testing::Types<BufferTarget<GL_ARRAY_BUFFER>, BufferTarget<GL_ELEMENT_ARRAY_BUFFER>>;
class TargetNames
{
public:
    template <class T>
    static std::string GetName(int)
    {
        return T::kTarget == GL_ARRAY_BUFFER ? "Vertices" : "Indices";
    }
};
TYPED_TEST_SUITE(CGLBufferGL, Targets, TargetNames);

} // namespace

TYPED_TEST(CGLBufferGL, CreateAllocatesCountTimesElementSizeAndLeavesItBound)
{
    typename TestFixture::Buffer buffer;
    buffer.create(5, 12, GL_STATIC_DRAW_ARB);
    ASSERT_NE(buffer.bufferId, 0u);
    EXPECT_TRUE(glIsBufferARB(buffer.bufferId));
    EXPECT_EQ(this->bound(), buffer.bufferId);
    EXPECT_EQ(this->parameter(GL_BUFFER_SIZE_ARB), 60);
    EXPECT_EQ(this->parameter(GL_BUFFER_USAGE_ARB), GL_STATIC_DRAW_ARB);
    EXPECT_EQ(buffer.count, 5u);
    EXPECT_EQ(buffer.elementSize, 12u);
}

TYPED_TEST(CGLBufferGL, WhatIsWrittenThroughLockIsInTheBufferAfterUnlock)
{
    typename TestFixture::Buffer buffer;
    buffer.create(4, 4, GL_STATIC_DRAW_ARB);
    auto* mapped = static_cast<std::uint32_t*>(buffer.lock(0, GL_READ_WRITE_ARB));
    ASSERT_NE(mapped, nullptr);
    const std::uint32_t values[] = {0x04030201u, 7u, 0u, 0xFFFFFFFFu};
    std::copy(values, values + 4, mapped);
    EXPECT_TRUE(buffer.unlock());
    EXPECT_EQ(this->parameter(GL_BUFFER_MAPPED_ARB), GL_FALSE);

    const std::vector<unsigned char> expected = {1, 2, 3, 4, 7, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(this->contents(buffer, 16), expected);
}

TYPED_TEST(CGLBufferGL, LockAtElementThreeOfTwelveBytesIsThirtySixBytesIn)
{
    typename TestFixture::Buffer buffer;
    buffer.create(5, 12, GL_STATIC_DRAW_ARB);
    auto* element = static_cast<unsigned char*>(buffer.lock(3, GL_WRITE_ONLY_ARB));
    ASSERT_NE(element, nullptr);
    void* start = nullptr;
    glGetBufferPointervARB(TypeParam::kTarget, GL_BUFFER_MAP_POINTER_ARB, &start);
    EXPECT_EQ(element - static_cast<unsigned char*>(start), 36);

    std::fill(static_cast<unsigned char*>(start), element, 0);
    for (int i = 0; i < 24; ++i)
        element[i] = static_cast<unsigned char>(100 + i);
    ASSERT_TRUE(buffer.unlock());
    const std::vector<unsigned char> data = this->contents(buffer, 60);
    EXPECT_EQ(data[35], 0);
    EXPECT_EQ(data[36], 100);
    EXPECT_EQ(data[59], 123);
}

TYPED_TEST(CGLBufferGL, ReleaseGivesTrueThenFalse)
{
    typename TestFixture::Buffer buffer;
    buffer.create(2, 4, GL_STATIC_DRAW_ARB);
    const GLuint name = buffer.bufferId;
    EXPECT_TRUE(buffer.release());
    EXPECT_FALSE(glIsBufferARB(name));
    EXPECT_EQ(buffer.bufferId, 0u);
    EXPECT_FALSE(buffer.release());
    EXPECT_EQ(buffer.count, 2u);                       // the last storage's shape is kept
    EXPECT_EQ(buffer.elementSize, 4u);
}

TYPED_TEST(CGLBufferGL, CreateAgainDeletesTheOldObjectFirst)
{
    typename TestFixture::Buffer buffer;
    buffer.create(2, 4, GL_STATIC_DRAW_ARB);
    const GLuint first = buffer.bufferId;
    BufferCallRecorder calls;
    buffer.create(3, 2, GL_DYNAMIC_DRAW_ARB);
    EXPECT_FALSE(glIsBufferARB(first));
    EXPECT_NE(buffer.bufferId, first);
    EXPECT_TRUE(glIsBufferARB(buffer.bufferId));
    EXPECT_EQ(calls.deleted, std::vector<GLuint>{first});
    EXPECT_EQ(calls.generated, std::vector<GLuint>{buffer.bufferId});
    EXPECT_EQ(this->parameter(GL_BUFFER_SIZE_ARB), 6);
}

TYPED_TEST(CGLBufferGL, EveryObjectIsDeletedExactlyOnce)
{
    BufferCallRecorder calls;
    {
        typename TestFixture::Buffer released;
        released.create(1, 4, GL_STATIC_DRAW_ARB);
        released.release();
        typename TestFixture::Buffer kept;
        kept.create(1, 4, GL_STATIC_DRAW_ARB);
    }
    ASSERT_EQ(calls.generated.size(), 2u);
    EXPECT_EQ(calls.deleted, calls.generated);
    EXPECT_FALSE(glIsBufferARB(calls.generated[1]));
}

TYPED_TEST(CGLBufferGL, AnEmptyBufferMakesNoBufferCall)
{
    BufferCallRecorder calls;
    {
        typename TestFixture::Buffer buffer;
        EXPECT_FALSE(buffer.release());
        EXPECT_EQ(buffer.lock(0, GL_READ_WRITE_ARB), nullptr);
    }
    EXPECT_TRUE(calls.deleted.empty());
    EXPECT_EQ(calls.mapCalls, 0);
    EXPECT_EQ(this->bound(), 0u);
}

TYPED_TEST(CGLBufferGL, AFailedMappingGivesNull)
{
    typename TestFixture::Buffer buffer;
    buffer.create(4, 4, GL_STATIC_DRAW_ARB);
    BufferCallRecorder calls(BufferCallRecorder::MAPPING_FAILS);
    EXPECT_EQ(buffer.lock(2, GL_READ_WRITE_ARB), nullptr);
    EXPECT_EQ(calls.mapCalls, 1);
}
