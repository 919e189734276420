// The scene file of the reference host: a versioned, line-based text that holds a whole scene
// (or the contents of one network, for digital assets), and the kipFile object that saves,
// loads and merges it. README ("The scene file") describes the format.
//
// A text is always read fully into nodes out of the scene before anything in the scene
// changes: a damaged text throws KOM_OperationFailed and leaves the scene as it was.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/scene.h"

struct KOM_EnumValue;
class KOM_kipFile;

namespace kalhost
{

// --- Reading and writing network contents (digital assets use these) ---------------------

// The text of every node inside `network`, with its state and the wires among them.
std::string writeNetworkContents(SceneNode const &network);

// Builds the nodes `text` describes inside `network` (renamed where a name is taken) and
// returns the new top-level nodes. Parts of the text this host does not know are skipped
// and named in `skipped` (one entry per kind, "name (line N)"). A damaged text or one of
// another kind throws KOM_OperationFailed naming `source` and the line, and changes nothing.
std::vector<std::shared_ptr<SceneNode>> readNetworkContents(std::shared_ptr<SceneNode> const &network,
                                                            std::string const &text,
                                                            std::string const &source,
                                                            std::vector<std::string> *skipped = nullptr);

// --- The whole scene ------------------------------------------------------------------

// The text of the scene: the clock and every node under the root.
std::string writeSceneText();

// A scene read from a text, out of the scene until committed.
struct SceneText
{
    std::shared_ptr<SceneNode> root; // from Scene::baselineRoot()
    Clock clock;
    std::vector<std::string> skipped; // parts this host does not know
};

// Throws KOM_OperationFailed for a damaged or foreign text, naming `source`.
SceneText readSceneText(std::string const &text, std::string const &source);

// Writes `text` to `path` through a temporary file beside it, renamed over `path` once
// complete: a failed write leaves the previous file as it was. Throws KOM_OperationFailed.
void writeFileAtomically(std::string const &path, std::string const &text);
// Files the host writes (scene files, backups, asset libraries) must lie inside `folder`, an
// existing folder (false, and no change, when it is not); an empty one lifts the limit. Tools
// that call every operation with arbitrary names (the fuzzer) keep the host's writes in their
// temporary folder this way.
bool restrictFileWrites(std::string const &folder);
// Throws KOM_OperationFailed when writes are restricted and `path` lies outside the folder.
void requireWritable(std::string const &path);
// The whole file; throws KOM_OperationFailed when it cannot be read.
std::string readWholeFile(std::string const &path);

// The file names the kipFile object moves to: "shot.kip" -> "shot1.kip", "shot009.kip" ->
// "shot010.kip"; and backups "backup/<stem>_bak<N><ext>" beside the file, N the lowest number
// from 1 not in use there.
std::string incrementedFileName(std::string const &path);
std::string backupFileName(std::string const &path);

// The one kipFile object, kept by the host.
KOM_kipFile &kipFile();
// The file name and loading state back to their baseline.
void resetSceneFile();

// "exprLanguage.Python" for that value.
std::string enumValueName(KOM_EnumValue const &value);

// --- Parts: how each family writes and reads its own state ------------------------------
//
// A node's entry in the text is its "node" line followed by one line per part; a part line
// starts with its keyword. Families add a row to the table in host/scenefile_parts.cpp: the
// keyword, a function writing the node's lines, and one reading one line into a new node.

// Fields of a line: words, quoted texts (escaped, so any bytes fit) and numbers written so
// that they read back exactly.
class SceneLineWriter
{
public:
    // Node parts write indented lines under their entry; file parts write lines of their own.
    explicit SceneLineWriter(std::string &out, bool indented = true) : myOut(out), myIndented(indented) {}
    // Starts a line.
    SceneLineWriter &line(std::string_view keyword);
    SceneLineWriter &word(std::string_view word);
    SceneLineWriter &text(std::string_view text);
    SceneLineWriter &number(double value);
    SceneLineWriter &number(float value);
    SceneLineWriter &integer(long long value);
    // "exprLanguage.Python", or "-" for none.
    SceneLineWriter &enumValue(KOM_EnumValue const *value);

private:
    std::string &myOut;
    bool myIndented;
};

// One line being read. Every accessor throws KOM_OperationFailed naming the source and line
// when the field is missing or malformed.
class SceneLineReader
{
public:
    SceneLineReader(std::string_view line, std::size_t lineNumber, std::string const &source);

    std::string const &keyword() const { return myKeyword; }
    bool atEnd();
    std::string word();
    std::string text();
    double number();
    float floatNumber();
    long long integer();
    int count(); // a list length: 0 to 2^20
    // One of the enumeration values the scene holds (see enumValue above), or null for "-".
    KOM_EnumValue const *enumValue();
    // Throws unless every field was read.
    void finish();
    [[noreturn]] void fail(std::string const &why) const;

private:
    void skipSpaces();
    std::string_view myRest;
    std::size_t myLineNumber;
    std::string const &mySource;
    std::string myKeyword;
};

// What a part reader may do besides changing the node: resolve references to nodes once
// every node of the text exists (wires, the current child).
class SceneReading
{
public:
    virtual ~SceneReading() {}
    // Runs `resolve` after every node exists, still before the scene changes; it may throw.
    virtual void later(std::function<void()> resolve) = 0;
};

struct SceneNodePart
{
    char const *keyword;
    // Writes the node's lines of this part (none when the node has the default).
    void (*write)(SceneNode const &node, SceneLineWriter &out);
    // Reads one line of this part into `node`, a new node out of the scene.
    void (*read)(std::shared_ptr<SceneNode> const &node, SceneLineReader &line, SceneReading &reading);
};

// Parts of the file itself, outside any node entry (the clock).
struct SceneFilePart
{
    char const *keyword;
    void (*write)(SceneLineWriter &out);
    void (*read)(SceneText &scene, SceneLineReader &line);
};

std::vector<SceneNodePart> const &sceneNodeParts();
std::vector<SceneFilePart> const &sceneFileParts();

} // namespace kalhost
