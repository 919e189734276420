// The shell's input and output: the queue that reads take from (waiting for a terminal to
// fill it, with the interpreter lock released), and the output the interpreter writes.
#include <Python.h>

#include "host/shell.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>

#include "host/journal.h"
#include "model/services.h"
#include "model/shell.h"

namespace kalhost
{

namespace
{

// Lets another thread run Python while this one waits, when this thread holds the lock.
class InterpreterUnlocked
{
public:
    InterpreterUnlocked()
        : myState(Py_IsInitialized() && PyGILState_Check() ? PyEval_SaveThread() : nullptr)
    {
    }
    ~InterpreterUnlocked()
    {
        if (myState)
            PyEval_RestoreThread(myState);
    }
    InterpreterUnlocked(InterpreterUnlocked const &) = delete;
    InterpreterUnlocked &operator=(InterpreterUnlocked const &) = delete;

private:
    PyThreadState *myState;
};

class HostShellIO : public KOM_ShellIO
{
public:
    std::pair<std::string, bool> readLine(int size) override
    {
        hostOperation("ShellIO.readLine", size);
        enum class Outcome { Line, EndOfInput, Interrupted } outcome;
        std::string line;
        {
            InterpreterUnlocked const unlocked;
            std::unique_lock<std::mutex> lock(myMutex);
            myInterrupted = false;
            ++myWaiting;
            myChanged.wait(lock, [this, size] {
                return lineReady(size) || !myFed || myInterrupted || (!myInput.empty() && myInput.front().endOfInput);
            });
            --myWaiting;
            if (lineReady(size))
            {
                outcome = Outcome::Line;
                line = takeLine(size);
            }
            else if (myInterrupted)
                outcome = Outcome::Interrupted;
            else
            {
                outcome = Outcome::EndOfInput;
                if (!myInput.empty() && myInput.front().endOfInput)
                    myInput.pop_front(); // each mark ends one read
            }
            myInterrupted = false;
        }
        // The interpreter lock is held again: the failure can be set.
        if (outcome == Outcome::Interrupted)
            PyErr_SetNone(PyExc_KeyboardInterrupt);
        else if (outcome == Outcome::EndOfInput)
            PyErr_SetString(PyExc_EOFError, "End of the shell's input");
        return {line, outcome != Outcome::Line};
    }

    void write(std::string const &data) override
    {
        hostOperation("ShellIO.write", data);
        std::function<void()> listener;
        {
            std::lock_guard<std::mutex> const lock(myMutex);
            myOutput += data;
            listener = myListener;
        }
        if (listener)
            listener();
    }

    std::string getAndClearWrittenData() override
    {
        hostOperation("ShellIO.getAndClearWrittenData");
        std::lock_guard<std::mutex> const lock(myMutex);
        std::string written;
        written.swap(myOutput);
        return written;
    }

    void addDataForReading(char const *data) override
    {
        hostOperation("ShellIO.addDataForReading", data);
        if (!data || !*data)
            return;
        std::lock_guard<std::mutex> const lock(myMutex);
        if (myInput.empty() || myInput.back().endOfInput)
            myInput.push_back({});
        myInput.back().text += data;
        myChanged.notify_all();
    }

    void addEOFForReading() override
    {
        hostOperation("ShellIO.addEOFForReading");
        std::lock_guard<std::mutex> const lock(myMutex);
        myInput.push_back({"", true});
        myChanged.notify_all();
    }

    void interruptShellThread() override
    {
        hostOperation("ShellIO.interruptShellThread");
        interrupt();
    }

    bool isWaitingForCommand() override
    {
        hostOperation("ShellIO.isWaitingForCommand");
        std::lock_guard<std::mutex> const lock(myMutex);
        return myWaitingForCommand;
    }

    void setIsWaitingForCommand(bool on) override
    {
        hostOperation("ShellIO.setIsWaitingForCommand", on);
        std::lock_guard<std::mutex> const lock(myMutex);
        myWaitingForCommand = on;
    }

    bool isatty() override
    {
        hostOperation("ShellIO.isatty");
        std::lock_guard<std::mutex> const lock(myMutex);
        return myTerminal;
    }

    bool interrupt()
    {
        std::lock_guard<std::mutex> const lock(myMutex);
        if (myWaiting == 0)
            return false;
        myInterrupted = true;
        myChanged.notify_all();
        return true;
    }

    void attach(bool attached, bool terminal)
    {
        std::lock_guard<std::mutex> const lock(myMutex);
        myFed = attached;
        myTerminal = attached && terminal;
        myChanged.notify_all();
    }

    void setListener(std::function<void()> listener)
    {
        std::lock_guard<std::mutex> const lock(myMutex);
        myListener = std::move(listener);
    }

    void reset()
    {
        std::lock_guard<std::mutex> const lock(myMutex);
        myInput.clear();
        myOutput.clear();
        myFed = false;
        myTerminal = false;
        myWaitingForCommand = false;
        myListener = nullptr;
        myChanged.notify_all();
    }

private:
    // Text queued before an end-of-input mark, or the mark itself. Reads take from `read` on,
    // so that a long paste is read line by line without moving what is left each time.
    struct Chunk
    {
        std::string text;
        bool endOfInput = false;
        std::size_t read = 0;

        std::size_t left() const { return text.size() - read; }
    };

    // A whole line, `size` bytes, or the last text before an end-of-input mark.
    bool lineReady(int size) const
    {
        if (myInput.empty() || myInput.front().endOfInput)
            return false;
        Chunk const &chunk = myInput.front();
        return chunk.text.find('\n', chunk.read) != std::string::npos ||
               (size >= 0 && chunk.left() >= static_cast<std::size_t>(size)) || myInput.size() > 1;
    }

    std::string takeLine(int size)
    {
        Chunk &chunk = myInput.front();
        std::size_t const newline = chunk.text.find('\n', chunk.read);
        std::size_t length = (newline == std::string::npos ? chunk.text.size() : newline + 1) - chunk.read;
        if (size >= 0)
            length = std::min(length, static_cast<std::size_t>(size));
        std::string line = chunk.text.substr(chunk.read, length);
        chunk.read += length;
        if (chunk.left() == 0)
            myInput.pop_front();
        else if (chunk.read > chunk.left())
        {
            // Most of the chunk is read: let its memory go, at a cost the reads already paid.
            chunk.text.erase(0, chunk.read);
            chunk.read = 0;
        }
        return line;
    }

    std::mutex myMutex;
    std::condition_variable myChanged;
    std::deque<Chunk> myInput;
    std::string myOutput;
    std::function<void()> myListener;
    int myWaiting = 0;
    bool myInterrupted = false;
    bool myFed = false; // something feeds the input: reads wait for it
    bool myTerminal = false;
    bool myWaitingForCommand = false;
};

HostShellIO theShellIO;

} // namespace

KOM_ShellIO &shellIO() { return theShellIO; }

void attachShellInput(bool attached, bool terminal) { theShellIO.attach(attached, terminal); }

void setShellWriteListener(std::function<void()> listener) { theShellIO.setListener(std::move(listener)); }

bool interruptShellRead() { return theShellIO.interrupt(); }

void resetShell() { theShellIO.reset(); }

} // namespace kalhost
