// The singleton base: one instance, retry after a throwing constructor, exit order.
#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "tools/CSingleton.h"

namespace
{

int countedConstructions = 0;

class Counted : public TOOLS::CSingleton<Counted>
{
    friend class TOOLS::CSingleton<Counted>;
    Counted() { ++countedConstructions; }

public:
    int value = 7;
};

int throwsLeft = 1;

class FailsOnce : public TOOLS::CSingleton<FailsOnce>
{
    friend class TOOLS::CSingleton<FailsOnce>;
    FailsOnce()
    {
        if (throwsLeft-- > 0)
            throw std::runtime_error("not yet");
    }
};

class Plain : public TOOLS::CSingleton<Plain>
{
    friend class TOOLS::CSingleton<Plain>;
    Plain() = default;
};

// Destruction order at exit is observed through a pipe from a child process.
int orderPipe = -1;

void note(char c)
{
    if (orderPipe >= 0) {
        const ssize_t written = ::write(orderPipe, &c, 1);
        (void)written;
    }
}

class First : public TOOLS::CSingleton<First>
{
    friend class TOOLS::CSingleton<First>;
    First() = default;

public:
    ~First() override { note('1'); }
};

class Second : public TOOLS::CSingleton<Second>
{
    friend class TOOLS::CSingleton<Second>;
    Second() = default;

public:
    ~Second() override { note('2'); }
};

// Requests First from its own constructor: First completes first, so it is destroyed last.
class Outer : public TOOLS::CSingleton<Outer>
{
    friend class TOOLS::CSingleton<Outer>;
    Outer() { First::getInstance(); }

public:
    ~Outer() override { note('O'); }
};

std::string exitOrder(void (*body)())
{
    int fds[2];
    if (::pipe(fds) != 0)
        return "pipe failed";
    std::fflush(nullptr);                              // the child must not repeat buffered output
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        orderPipe = fds[1];
        body();
        std::exit(0);
    }
    ::close(fds[1]);
    std::string order;
    char c;
    while (::read(fds[0], &c, 1) == 1)
        order += c;
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return order;
}

} // namespace

TEST(CSingleton, ReturnsOneInstanceConstructedOnce)
{
    Counted& a = Counted::getInstance();
    Counted& b = Counted::getInstance();
    EXPECT_EQ(&a, &b);
    EXPECT_EQ(countedConstructions, 1);
    a.value = 9;
    EXPECT_EQ(Counted::getInstance().value, 9);
}

TEST(CSingleton, ThrowingConstructorIsRetriedOnNextRequest)
{
    EXPECT_THROW(FailsOnce::getInstance(), std::runtime_error);
    EXPECT_NO_THROW(FailsOnce::getInstance());
    EXPECT_EQ(&FailsOnce::getInstance(), &FailsOnce::getInstance());
}

TEST(CSingleton, BaseShutdownDoesNothingAndMayBeRepeated)
{
    Plain& plain = Plain::getInstance();
    plain.shutdown();
    plain.shutdown();
    EXPECT_EQ(&plain, &Plain::getInstance());
}

TEST(CSingleton, DestroyedAtExitInReverseOrderOfConstruction)
{
    EXPECT_EQ(exitOrder([] {
                  First::getInstance();
                  Second::getInstance();
              }),
              "21");
    EXPECT_EQ(exitOrder([] {
                  Second::getInstance();
                  First::getInstance();
              }),
              "12");
}

TEST(CSingleton, ServiceMadeInsideAnotherConstructorOutlivesIt)
{
    EXPECT_EQ(exitOrder([] { Outer::getInstance(); }), "O1");
}

TEST(CSingleton, RequestingOneServiceCreatesNoOther)
{
    EXPECT_EQ(exitOrder([] { Second::getInstance(); }), "2");
}
