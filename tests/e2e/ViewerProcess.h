#pragma once
// Runs a viewer program as a real process in a real X window, in a scratch working
// directory of its own, and drives it the way a user would: keys, left-button drags,
// the window manager's close request. Screenshots of the window are read back as pixels.

#include <array>
#include <string>
#include <utility>
#include <vector>

#include <sys/types.h>

struct Screenshot
{
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;                    // rows top first, 3 bytes per pixel

    std::array<int, 3> at(int x, int y) const;         // red, green, blue
    bool isUniform(int x0, int y0, int x1, int y1, std::array<int, 3> colour, int tolerance) const;
    int countDifferent(std::array<int, 3> colour, int tolerance) const;  // pixels not of that colour
};

class ViewerProcess
{
public:
    // The scratch folder is made below the current working directory and named after
    // the running test.
    explicit ViewerProcess(std::string executable, std::vector<std::string> arguments = {});
    ~ViewerProcess();                                  // kills the process if it still runs

    void setEnvironment(const std::string& name, const std::string& value);
    void setMemoryLimit(long long bytes);              // of the address space, as ulimit -v sets it
    void closeOutput();                                // standard output a pipe nobody reads, as "| true" leaves it
    void copyDataFolder(const std::string& from);      // every file of `from` into <scratch>/Data
    void writeDataFile(const std::string& name, const std::string& content);

    void start();
    // False if no window of that title appeared.
    bool waitForWindow(int timeoutSeconds = 30, const std::string& title = "My Window");
    void pressKey(const std::string& keysym, int times = 1);  // xdotool key name: Escape, Up, Down
    void click(int button, int times = 1);             // in the middle of the window; 4, 5: the wheel
    // With `button` held (1 left, 2 middle), and the keys of `holding` (xdotool names) down.
    void drag(int fromX, int fromY, int toX, int toY, int steps = 8, int button = 1, const std::string& holding = "");
    void moveWhileHolding(int x, int y);
    Screenshot screenshot();
    void requestClose();                               // WM_DELETE_WINDOW, as a window manager sends it
    void sendSignal(int number);                       // as kill does
    bool waitUntilCatching(int number, int timeoutSeconds = 30);  // false if it never installs a handler
    bool waitForExit(int timeoutSeconds = 30);         // false if it is still running
    int exitStatus() const;                            // 0..255, or -signal

    bool running();
    long peakMemory() const;                           // the process's peak resident set so far, kB
    std::string output() const;                        // everything written to standard output
    std::string errorOutput() const;
    std::string readFile(const std::string& name) const;  // relative to the scratch folder
    std::vector<std::string> readLines(const std::string& name) const;
    const std::string& directory() const;
    const std::string& windowId() const;

private:
    std::string executable;
    std::vector<std::string> arguments;
    std::vector<std::pair<std::string, std::string>> environment;
    long long memoryLimit = 0;                         // 0: none
    bool outputClosed = false;
    std::string scratch;
    std::string window;
    pid_t pid = -1;
    int status = -1000;
};

// A picture file of any kind ImageMagick reads; empty when there is none.
Screenshot readPicture(const std::string& path);

// Runs a shell command and returns what it printed on standard output.
std::string runCommand(const std::string& command, int* exitCode = nullptr);

// Splits a text into lines (without their line ends).
std::vector<std::string> splitLines(const std::string& text);
