// The end-to-end harness: process control, xdotool input, screenshots through ImageMagick.
#include "tests/e2e/ViewerProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "tests/support/LogFileMatch.h"

// Last: Xlib defines macros (None, Bool, Status) that clash with other headers.
#include <X11/Xlib.h>

namespace fs = std::filesystem;

namespace
{
std::string quote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string scratchName()
{
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "viewer";
    for (char& c : name) {
        if (c == '/')
            c = '_';
    }
    return "scratch-" + name;
}
} // namespace

std::string runCommand(const std::string& command, int* exitCode)
{
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        if (exitCode)
            *exitCode = -1;
        return output;
    }
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, got);
    const int raw = ::pclose(pipe);
    if (exitCode)
        *exitCode = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return output;
}

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line))
        lines.push_back(line);
    return lines;
}

std::array<int, 3> Screenshot::at(int x, int y) const
{
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

bool Screenshot::isUniform(int x0, int y0, int x1, int y1, std::array<int, 3> colour, int tolerance) const
{
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            const auto p = at(x, y);
            for (int c = 0; c < 3; ++c) {
                if (std::abs(p[c] - colour[c]) > tolerance)
                    return false;
            }
        }
    }
    return true;
}

int Screenshot::countDifferent(std::array<int, 3> colour, int tolerance) const
{
    int count = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto p = at(x, y);
            for (int c = 0; c < 3; ++c) {
                if (std::abs(p[c] - colour[c]) > tolerance) {
                    ++count;
                    break;
                }
            }
        }
    }
    return count;
}

ViewerProcess::ViewerProcess(std::string executable, std::vector<std::string> arguments)
    : executable(std::move(executable)), arguments(std::move(arguments))
{
    scratch = (fs::current_path() / scratchName()).string();
    fs::remove_all(scratch);
    fs::create_directories(scratch);
}

ViewerProcess::~ViewerProcess()
{
    if (pid > 0 && running()) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
}

void ViewerProcess::setEnvironment(const std::string& name, const std::string& value)
{
    environment.emplace_back(name, value);
}

void ViewerProcess::setMemoryLimit(long long bytes)
{
    memoryLimit = bytes;
}

void ViewerProcess::closeOutput()
{
    outputClosed = true;
}

void ViewerProcess::copyDataFolder(const std::string& from)
{
    const fs::path data = fs::path(scratch) / "Data";
    fs::create_directories(data);
    for (const auto& entry : fs::directory_iterator(from)) {
        if (entry.is_regular_file())
            fs::copy_file(entry.path(), data / entry.path().filename(), fs::copy_options::overwrite_existing);
    }
}

void ViewerProcess::writeDataFile(const std::string& name, const std::string& content)
{
    const fs::path path = fs::path(scratch) / "Data" / name;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

namespace
{
// An X server resets when its last client leaves and refuses connections meanwhile, so a
// viewer started right after another one ended could fail to open the display. The harness
// stays connected from its first start on; the connection is waited for, then kept.
void holdDisplayOpen()
{
    static Display* held = nullptr;
    for (int attempt = 0; !held && attempt < 100; ++attempt) {
        held = XOpenDisplay(nullptr);
        if (!held)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}
} // namespace

void ViewerProcess::start()
{
    holdDisplayOpen();
    const std::string out = scratch + "/stdout.txt";
    const std::string err = scratch + "/stderr.txt";
    pid = ::fork();
    if (pid == 0) {
        if (::chdir(scratch.c_str()) != 0)
            ::_exit(120);
        int pipeEnds[2] = {-1, -1};
        if (outputClosed && (::pipe(pipeEnds) != 0 || ::dup2(pipeEnds[1], 1) != 1 || ::close(pipeEnds[0]) != 0))
            ::_exit(121);
        std::FILE* o = outputClosed ? stdout : std::freopen(out.c_str(), "w", stdout);
        std::FILE* e = std::freopen(err.c_str(), "w", stderr);
        if (!o || !e)
            ::_exit(121);
        for (const auto& [name, value] : environment)
            ::setenv(name.c_str(), value.c_str(), 1);
        // As from a terminal: a test run started in the background would hand down
        // termination signals ignored, and some runners ignore SIGPIPE.
        for (int number : {SIGTERM, SIGINT, SIGHUP, SIGPIPE})
            ::signal(number, SIG_DFL);
        if (memoryLimit > 0) {
            const rlimit limit = {static_cast<rlim_t>(memoryLimit), static_cast<rlim_t>(memoryLimit)};
            if (::setrlimit(RLIMIT_AS, &limit) != 0)
                ::_exit(123);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(executable.c_str()));
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        ::execv(executable.c_str(), argv.data());
        ::_exit(122);
    }
}

bool ViewerProcess::waitForWindow(int timeoutSeconds, const std::string& title)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (!running())
            return false;
        int code = 0;
        const std::string found =
            runCommand("xdotool search --onlyvisible --pid " + std::to_string(pid) + " --name " + quote("^" + title + "$") +
                           " 2>/dev/null",
                       &code);
        const auto lines = splitLines(found);
        if (code == 0 && !lines.empty()) {
            window = lines.front();
            // Let the first frames reach the screen before anyone looks at it; until the first
            // has, the window is black, for longer on a busy machine.
            for (int i = 0; i < 100 && screenshot().countDifferent({0, 0, 0}, 0) == 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

void ViewerProcess::pressKey(const std::string& keysym, int times)
{
    runCommand("xdotool mousemove --window " + window + " 5 5 windowfocus --sync " + window + " key --repeat " +
               std::to_string(times) + " --delay 20 " + quote(keysym));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

void ViewerProcess::click(int button, int times)
{
    runCommand("xdotool mousemove --window " + window + " 512 384 click --repeat " + std::to_string(times) +
               " --delay 100 " + std::to_string(button));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

void ViewerProcess::drag(int fromX, int fromY, int toX, int toY, int steps, int button, const std::string& holding)
{
    std::string command = "xdotool mousemove --window " + window + " " + std::to_string(fromX) + " " +
                          std::to_string(fromY) + (holding.empty() ? "" : " keydown " + holding) + " mousedown " +
                          std::to_string(button);
    for (int i = 1; i <= steps; ++i) {
        const int x = fromX + (toX - fromX) * i / steps;
        const int y = fromY + (toY - fromY) * i / steps;
        command += " sleep 0.05 mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y);
    }
    command += " sleep 0.05 mouseup " + std::to_string(button) + (holding.empty() ? "" : " keyup " + holding);
    runCommand(command);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

void ViewerProcess::moveWhileHolding(int x, int y)
{
    runCommand("xdotool mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y));
}

Screenshot ViewerProcess::screenshot()
{
    const std::string file = scratch + "/screenshot.ppm";
    runCommand("/usr/bin/import -silent -window " + window + " -depth 8 ppm:" + quote(file));
    return readPicture(file);
}

Screenshot readPicture(const std::string& path)
{
    Screenshot shot;
    std::string file = path;
    if (path.size() < 4 || path.compare(path.size() - 4, 4, ".ppm") != 0) {
        file = path + ".ppm";
        runCommand("/usr/bin/convert " + quote(path) + " -depth 8 ppm:" + quote(file) + " 2>/dev/null");
    }
    std::ifstream in(file, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    in >> magic >> shot.width >> shot.height >> maxValue;
    in.get();
    if (magic != "P6" || maxValue != 255 || shot.width <= 0 || shot.height <= 0) {
        shot.width = shot.height = 0;
        return shot;
    }
    shot.rgb.resize(static_cast<std::size_t>(shot.width) * shot.height * 3);
    in.read(reinterpret_cast<char*>(shot.rgb.data()), static_cast<std::streamsize>(shot.rgb.size()));
    return shot;
}

void ViewerProcess::requestClose()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return;
    const Window target = static_cast<Window>(std::stoul(window));
    XEvent event;
    std::memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = target;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, target, False, NoEventMask, &event);
    XFlush(display);
    XCloseDisplay(display);
}

void ViewerProcess::sendSignal(int number)
{
    if (pid > 0)
        ::kill(pid, number);
}

bool ViewerProcess::waitUntilCatching(int number, int timeoutSeconds)
{
    // The kernel lists the signals a process has handlers for as a mask in SigCgt.
    const std::string status = "/proc/" + std::to_string(pid) + "/status";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (running() && std::chrono::steady_clock::now() < deadline) {
        std::ifstream in(status);
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("SigCgt:", 0) == 0 && (std::stoull(line.substr(7), nullptr, 16) >> (number - 1)) & 1)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

long ViewerProcess::peakMemory() const
{
    return std::stol("0" + runCommand("grep VmHWM /proc/" + std::to_string(pid) + "/status | tr -dc 0-9"));
}

bool ViewerProcess::running()
{
    if (pid <= 0 || status != -1000)
        return false;
    int raw = 0;
    const pid_t done = ::waitpid(pid, &raw, WNOHANG);
    if (done == pid) {
        status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -WTERMSIG(raw);
        return false;
    }
    return true;
}

bool ViewerProcess::waitForExit(int timeoutSeconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (running()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

int ViewerProcess::exitStatus() const
{
    return status;
}

std::string ViewerProcess::output() const
{
    return readFile("stdout.txt");
}

std::string ViewerProcess::errorOutput() const
{
    return readFile("stderr.txt");
}

std::string ViewerProcess::readFile(const std::string& name) const
{
    return testlog::readFile((fs::path(scratch) / name).string());
}

std::vector<std::string> ViewerProcess::readLines(const std::string& name) const
{
    return splitLines(readFile(name));
}

const std::string& ViewerProcess::directory() const
{
    return scratch;
}

const std::string& ViewerProcess::windowId() const
{
    return window;
}
