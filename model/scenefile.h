// The scene file.
#pragma once

// Host-owned singleton reached through kal.kipFile.
class KOM_kipFile
{
public:
    virtual ~KOM_kipFile() {}
};
