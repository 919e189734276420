// Input of an interactive shell.
#pragma once

class KOM_ShellIO
{
public:
    virtual ~KOM_ShellIO() {}
};
