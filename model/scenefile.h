// The scene file.
#pragma once

#include <string>
#include <vector>

#include "model/sequences.h"

class KOM_Node;

// Host-owned singleton reached through kal.kipFile.
class KOM_kipFile
{
public:
    virtual ~KOM_kipFile() {}

    // Names the scene file, as <kal.kipFile name>.
    virtual std::string __repr__() = 0;
    // Saves the scene to a file, or to the current scene file when no name is given.
    virtual void save(char const *file_name = nullptr) = 0;
    // Saves the scene under the next numbered name ("shot3.kip" after "shot2.kip") and keeps that name.
    virtual void saveAndIncrementFileName() = 0;
    // Saves a numbered copy in the backup folder beside the scene file; the scene keeps its name.
    virtual void saveAsBackup() = 0;
    // The current scene file's name.
    virtual std::string name() = 0;
    // Empties the scene; true keeps the current file name.
    virtual void clear(bool keep_file_name = false) = 0;
    // Replaces the scene by a file's; true loads quietly, without a LoadWarning for skipped parts.
    virtual void load(char const *file_name, bool ignore_load_warnings = false) = 0;
    // Adds the nodes of a file that match the pattern; true replaces nodes of the same name instead of renaming the new ones.
    virtual void merge(char const *file_name, char const *node_pattern = "*", bool overwrite_on_collision = false) = 0;
    // The nodes of the scene that merging the file with that pattern would collide with; changes nothing.
    virtual std::vector<KOM_ElemPtr<KOM_Node>> collisionNodesIfMerged(char const *file_name,
                                                                      char const *node_pattern = "*") = 0;
    // Whether a scene file is being loaded or merged now.
    virtual bool isLoadingKipFile() = 0;
    // Whether the application is ending.
    virtual bool isShuttingDown() = 0;
};
