// Shelves, tools and galleries.
#pragma once

class KOM_ShelfElement
{
public:
    virtual ~KOM_ShelfElement() {}
};

class KOM_Shelf : public virtual KOM_ShelfElement {};

class KOM_Tool : public virtual KOM_ShelfElement {};

class KOM_ShelfSet : public virtual KOM_ShelfElement {};

class KOM_ShelfDock
{
public:
    virtual ~KOM_ShelfDock() {}
};

// Host-owned singleton reached through kal.shelves.
class KOM_shelves
{
public:
    virtual ~KOM_shelves() {}
};

// Host-owned singleton reached through kal.galleries.
class KOM_galleries
{
public:
    virtual ~KOM_galleries() {}
};

class KOM_Gallery
{
public:
    virtual ~KOM_Gallery() {}
};

class KOM_GalleryEntry
{
public:
    virtual ~KOM_GalleryEntry() {}
};
