// Writer of the binary CDFG file format.
#pragma once

#include <memory>
#include <string>

#include "cdfg/graph.h"

// Writes every live node in node-list order. 0 on success, -1 when there is
// no graph or the file cannot be written.
int writeCdfg(const CdfgGraph* g, const char* path);
// The same bytes, appended to out.
void writeCdfgBytes(const CdfgGraph& g, std::string& out);

// A write-back of a graph read from a file, made on another thread while the
// run goes on. The constructor takes from the graph all that the file needs
// (where its unchanged records lie in the source, the encoded bytes of the
// others), so the graph may change as soon as it returns; the thread only
// copies bytes into a temporary file. When the graph has no source or too
// many changed records, the constructor writes the temporary file itself.
// wait() replaces the file as writeCdfg does and returns the same result;
// without wait() (a graph found damaged) the file is left as it was.
class CdfgBackgroundWrite {
public:
    CdfgBackgroundWrite(const CdfgGraph& g, const char* path);
    ~CdfgBackgroundWrite();
    CdfgBackgroundWrite(const CdfgBackgroundWrite&) = delete;
    CdfgBackgroundWrite& operator=(const CdfgBackgroundWrite&) = delete;
    // The file may be replaced as soon as it is written, by the thread that
    // writes it; wait() then only waits for that. Takes the source the graph
    // was read from (or nothing), which is let go of once the file is in
    // place.
    void replaceWhenWritten(std::unique_ptr<SourceBytes> source);
    int wait();

private:
    struct State;
    std::unique_ptr<State> state_;
};
