#pragma once
// The files a model on screen was made from: the model, the material libraries its loader
// read and the pictures its materials named. Each keeps its size and modification time as
// they stood when it was read, so that a change to any of them can be told.

#include <string>
#include <vector>

class ModelFiles
{
public:
    void clear();
    void add(const std::string& path);                 // as it stands now; one that is not there counts too
    void restamp();                                    // every file as it stands now
    bool changed() const;                              // a size or time differs, or a file came or went

private:
    struct Stamp
    {
        bool exists = false;
        long long size = 0;
        long long seconds = 0;                         // modification time
        long long nanoseconds = 0;
        bool operator==(const Stamp& other) const;
    };
    static Stamp stampOf(const std::string& path);

    std::vector<std::string> paths;                    // in the order added, each once
    std::vector<Stamp> stamps;                         // one per path
};
