// Shelves in the reference host: shelf sets, shelves and tools stored by name, each kept in a
// shelf file that is rewritten whole after every change.
#include "host/shelves.h"

#include <algorithm>
#include <array>
#include <map>
#include <sstream>

#include "host/identity.h"
#include "host/kept.h"
#include "host/nodetypes.h"
#include "host/parms.h"
#include "host/scene.h"
#include "model/errors.h"

namespace kalhost
{

// --- ShelfElement ---

namespace
{

// What every element handle shares; kept handles find their tool by name instead.
class ElementState
{
public:
    explicit ElementState(ElementPtr const &element) : myElement(element) {}
    virtual ~ElementState() {}

    // The element, or KOM_ObjectWasDeleted when it is gone.
    virtual ElementPtr stored() const
    {
        auto element = myElement.lock();
        if (!element || element->destroyed)
            throw KOM_ObjectWasDeleted();
        return element;
    }

    // The element, which its file must let us change.
    ElementPtr editable() const
    {
        auto element = stored();
        requireWritableFile(element->file);
        return element;
    }

private:
    std::weak_ptr<StoredElement> myElement;
};

ElementPtr storedOf(KOM_ShelfElement const *element);

template <class Interface>
class ElementHandle : public Interface, public ElementState
{
public:
    explicit ElementHandle(ElementPtr const &element) : ElementState(element) {}

    std::string __repr__() override
    {
        hostOperation("ShelfElement.__repr__");
        auto const element = stored();
        return std::string("<kal.") + (element->kind == ShelfSetKind ? "ShelfSet" : element->kind == ShelfKind ? "Shelf" : "Tool") +
               " " + element->name + ">";
    }

    StoredElement const *identityKey() const { return stored().get(); }
    KALHOST_EQUAL_BY_IDENTITY(ShelfElement)

    std::string filePath() override
    {
        hostOperation("ShelfElement.filePath");
        return stored()->file;
    }

    void setFilePath(char const *file_path) override
    {
        hostOperation("ShelfElement.setFilePath", file_path);
        auto const element = editable();
        std::string const file = writablePath(file_path, "Shelf");
        if (file == element->file)
            return;
        std::string const old = element->file;
        removeFromFile(element);
        element->file = file;
        shelfStore().byFile[file].push_back(element);
        saveShelfFile(old);
        saveShelfFile(file);
    }

    std::string name() override
    {
        hostOperation("ShelfElement.name");
        return stored()->name;
    }

    void setName(char const *name) override
    {
        hostOperation("ShelfElement.setName", name);
        auto const element = editable();
        std::string const wanted = name ? name : "";
        if (wanted == element->name)
            return;
        auto &names = shelfStore().byName[element->kind];
        if (wanted.empty() || names.count(wanted))
            throw KOM_OperationFailed((std::string("A ") + KindWords[element->kind] + " named \"" + wanted +
                                       "\" already exists")
                                          .c_str());
        names.erase(element->name);
        element->name = wanted;
        names[wanted] = element;
        saveShelfFile(element->file);
        saveContainersOf(*element, false);
    }

    std::string label() override
    {
        hostOperation("ShelfElement.label");
        return stored()->label;
    }

    void setLabel(char const *label) override
    {
        hostOperation("ShelfElement.setLabel", label);
        auto const element = editable();
        element->label = label ? label : "";
        saveShelfFile(element->file);
    }

protected:
    // Removes the element everywhere; its members stay.
    void destroyElement(char const *operation)
    {
        hostOperation(operation);
        auto const element = editable();
        element->destroyed = true;
        shelfStore().byName[element->kind].erase(element->name);
        removeFromFile(element);
        saveShelfFile(element->file);
        saveContainersOf(*element, true);
    }

    // Members of another kind, all of them alive; KOM_TypeError for None.
    template <class Member>
    static std::vector<std::weak_ptr<StoredElement>> membersOf(std::vector<Member *> const &members)
    {
        std::vector<std::weak_ptr<StoredElement>> stored;
        for (auto *member : members)
        {
            if (!member)
                throw KOM_TypeError("None cannot stand for a shelf element");
            stored.push_back(storedOf(member));
        }
        return stored;
    }
};

template <class Handle>
class Owned : public Handle, private LiveCounted
{
public:
    using Handle::Handle;
};

ElementPtr storedOf(KOM_ShelfElement const *element)
{
    auto const *state = dynamic_cast<ElementState const *>(element);
    if (!state)
        throw KOM_TypeError("Not a shelf element of this application");
    return state->stored();
}

// --- Shelf ---

class ShelfHandle : public ElementHandle<KOM_Shelf>
{
public:
    explicit ShelfHandle(ElementPtr const &shelf) : ElementHandle(shelf) {}

    std::vector<KOM_ElemPtr<KOM_Tool>> tools() override;

    void setTools(std::vector<KOM_Tool *> const &tools) override
    {
        hostOperation("Shelf.setTools", tools);
        auto const shelf = editable();
        shelf->members = membersOf(tools);
        saveShelfFile(shelf->file);
    }

    void destroy() override { destroyElement("Shelf.destroy"); }
};

// --- ShelfSet ---

class ShelfSetHandle : public ElementHandle<KOM_ShelfSet>
{
public:
    explicit ShelfSetHandle(ElementPtr const &set) : ElementHandle(set) {}

    std::vector<KOM_ElemPtr<KOM_Shelf>> shelves() override
    {
        hostOperation("ShelfSet.shelves");
        std::vector<KOM_ElemPtr<KOM_Shelf>> shelves;
        for (auto const &shelf : liveMembers(*stored()))
            shelves.emplace_back(new Owned<ShelfHandle>(shelf));
        return shelves;
    }

    void setShelves(std::vector<KOM_Shelf *> const &shelves) override
    {
        hostOperation("ShelfSet.setShelves", shelves);
        auto const set = editable();
        set->members = membersOf(shelves);
        saveShelfFile(set->file);
    }

    void destroy() override { destroyElement("ShelfSet.destroy"); }
};

// --- Tool ---

class ToolHandle : public ElementHandle<KOM_Tool>
{
public:
    explicit ToolHandle(ElementPtr const &tool) : ElementHandle(tool) {}

    std::string script() override
    {
        hostOperation("Tool.script");
        return stored()->script;
    }

    void setScript(char const *script) override { setText("Tool.setScript", script, &StoredElement::script); }

    KOM_EnumValue *language() override
    {
        hostOperation("Tool.language");
        return const_cast<KOM_EnumValue *>(stored()->language);
    }

    void setLanguage(KOM_EnumValue &language) override
    {
        hostOperation("Tool.setLanguage", language);
        auto const tool = editable();
        assignLanguage(*tool, language);
        saveShelfFile(tool->file);
    }

    std::string icon() override
    {
        hostOperation("Tool.icon");
        return stored()->icon;
    }

    void setIcon(char const *icon) override { setText("Tool.setIcon", icon, &StoredElement::icon); }

    std::string help() override
    {
        hostOperation("Tool.help");
        return stored()->help;
    }

    void setHelp(char const *help) override { setText("Tool.setHelp", help, &StoredElement::help); }

    std::string helpURL() override
    {
        hostOperation("Tool.helpURL");
        return stored()->helpURL;
    }

    void setHelpURL(char const *help_url) override { setText("Tool.setHelpURL", help_url, &StoredElement::helpURL); }

    std::vector<KOM_NodeTypeCategory *> toolMenuCategories(KOM_EnumValue &pane_type) override
    {
        hostOperation("Tool.toolMenuCategories", pane_type);
        auto const tool = stored();
        std::vector<KOM_NodeTypeCategory *> categories;
        for (int code : tool->menuCategories[menuOf(pane_type, MenuCount)])
            categories.push_back(categoryFor(code));
        return categories;
    }

    void setToolMenuCategories(KOM_EnumValue &pane_type,
                               std::vector<KOM_NodeTypeCategory *> const &categories) override
    {
        hostOperation("Tool.setToolMenuCategories", pane_type, categories);
        auto const tool = editable();
        int const menu = menuOf(pane_type, MenuCount);
        tool->menuCategories[menu] = categoryCodes(categories);
        saveShelfFile(tool->file);
    }

    std::string toolMenuOpType(KOM_EnumValue &pane_type) override
    {
        hostOperation("Tool.toolMenuOpType", pane_type);
        auto const tool = stored();
        return tool->opTypes[menuOf(pane_type, 2)];
    }

    void setToolMenuOpType(KOM_EnumValue &pane_type, char const *op_type) override
    {
        hostOperation("Tool.setToolMenuOpType", pane_type, op_type);
        auto const tool = editable();
        tool->opTypes[menuOf(pane_type, 2)] = op_type ? op_type : "";
        saveShelfFile(tool->file);
    }

    std::vector<std::string> toolMenuLocations() override
    {
        hostOperation("Tool.toolMenuLocations");
        return stored()->locations;
    }

    void setToolLocations(std::vector<std::string> const &locations) override
    {
        hostOperation("Tool.setToolLocations", locations);
        auto const tool = editable();
        tool->locations = locations;
        saveShelfFile(tool->file);
    }

    void setData(char const *script, KOM_EnumValue &language, char const *icon, char const *help,
                 char const *help_url, std::vector<KOM_NodeTypeCategory *> const &network_categories,
                 std::vector<KOM_NodeTypeCategory *> const &viewer_categories,
                 std::vector<KOM_NodeTypeCategory *> const &pop_viewer_categories,
                 std::vector<KOM_NodeTypeCategory *> const &cop_viewer_categories, char const *network_op_type,
                 char const *viewer_op_type, std::vector<std::string> const &locations) override
    {
        hostOperation("Tool.setData", script, language, icon, help, help_url, network_categories,
                      viewer_categories, pop_viewer_categories, cop_viewer_categories, network_op_type,
                      viewer_op_type, locations);
        auto const tool = editable();
        assignToolData(*tool, {script, &language, icon, help, help_url,
                               {&network_categories, &viewer_categories, &pop_viewer_categories,
                                &cop_viewer_categories},
                               {network_op_type, viewer_op_type}, &locations});
        saveShelfFile(tool->file);
    }

    void destroy() override { destroyElement("Tool.destroy"); }

private:
    void setText(char const *operation, char const *text, std::string StoredElement::*field)
    {
        hostOperation(operation, text);
        auto const tool = editable();
        (*tool).*field = text ? text : "";
        saveShelfFile(tool->file);
    }
};

std::vector<KOM_ElemPtr<KOM_Tool>> ShelfHandle::tools()
{
    hostOperation("Shelf.tools");
    std::vector<KOM_ElemPtr<KOM_Tool>> tools;
    for (auto const &tool : liveMembers(*stored()))
        tools.emplace_back(new Owned<ToolHandle>(tool));
    return tools;
}

// The running tool as the host keeps it for scripts: found by name on every call, so it
// outlives the tool and answers KOM_ObjectWasDeleted while no tool has that name.
class KeptToolHandle : public ToolHandle
{
public:
    explicit KeptToolHandle(std::string name) : ToolHandle(nullptr), myName(std::move(name)) {}

    ElementPtr stored() const override
    {
        auto const &tools = shelfStore().byName[ToolKind];
        auto const found = tools.find(myName);
        if (found == tools.end())
            throw KOM_ObjectWasDeleted();
        return found->second;
    }

private:
    std::string myName;
};

KOM_Tool *keptTool(std::string const &name)
{
    static KeptHandles<std::string, KOM_Tool> kept;
    return kept(name, [&name] { return new KeptToolHandle(name); });
}

// --- ShelfDock ---

class ShelfDockHandle : public KOM_ShelfDock, private LiveCounted
{
public:
    std::string __repr__() override
    {
        hostOperation("ShelfDock.__repr__");
        return "<kal.ShelfDock showing " + std::to_string(shelfStore().byName[ShelfSetKind].size()) + " shelf sets>";
    }

    std::vector<KOM_ElemPtr<KOM_ShelfSet>> shelfSets() override
    {
        hostOperation("ShelfDock.shelfSets");
        std::vector<KOM_ElemPtr<KOM_ShelfSet>> sets;
        for (auto const &[name, set] : shelfStore().byName[ShelfSetKind])
            sets.emplace_back(new Owned<ShelfSetHandle>(set));
        return sets;
    }

    std::vector<int> iconsize() override
    {
        hostOperation("ShelfDock.iconsize");
        return {36, 36};
    }
};

// --- shelves ---

template <class Handle, class Interface>
std::map<std::string, KOM_ElemPtr<Interface>> handlesByName(ElementKind kind)
{
    std::map<std::string, KOM_ElemPtr<Interface>> handles;
    for (auto const &[name, element] : shelfStore().byName[kind])
        handles.emplace(name, new Owned<Handle>(element));
    return handles;
}

class HostShelves : public KOM_shelves
{
public:
    std::string __repr__() override
    {
        hostOperation("shelves.__repr__");
        return "<kal.shelves>";
    }

    std::map<std::string, KOM_ElemPtr<KOM_ShelfSet>> shelfSets() override
    {
        hostOperation("shelves.shelfSets");
        return handlesByName<ShelfSetHandle, KOM_ShelfSet>(ShelfSetKind);
    }

    std::map<std::string, KOM_ElemPtr<KOM_Shelf>> shelves() override
    {
        hostOperation("shelves.shelves");
        return handlesByName<ShelfHandle, KOM_Shelf>(ShelfKind);
    }

    std::map<std::string, KOM_ElemPtr<KOM_Tool>> tools() override
    {
        hostOperation("shelves.tools");
        return handlesByName<ToolHandle, KOM_Tool>(ToolKind);
    }

    KOM_Tool *runningTool() override
    {
        hostOperation("shelves.runningTool");
        auto const &running = shelfStore().running;
        return running.empty() ? nullptr : keptTool(running.back());
    }

    KOM_ShelfSet *newShelfSet(char const *file_path, char const *name, char const *label) override
    {
        hostOperation("shelves.newShelfSet", file_path, name, label);
        return new Owned<ShelfSetHandle>(create(ShelfSetKind, file_path, name, label, [](StoredElement &) {}));
    }

    KOM_Shelf *newShelf(char const *file_path, char const *name, char const *label) override
    {
        hostOperation("shelves.newShelf", file_path, name, label);
        return new Owned<ShelfHandle>(create(ShelfKind, file_path, name, label, [](StoredElement &) {}));
    }

    KOM_Tool *newTool(char const *file_path, char const *name, char const *label, char const *script,
                      KOM_EnumValue &language, char const *icon, char const *help, char const *help_url,
                      std::vector<KOM_NodeTypeCategory *> const &network_categories,
                      std::vector<KOM_NodeTypeCategory *> const &viewer_categories,
                      std::vector<KOM_NodeTypeCategory *> const &pop_viewer_categories,
                      std::vector<KOM_NodeTypeCategory *> const &cop_viewer_categories,
                      char const *network_op_type, char const *viewer_op_type,
                      std::vector<std::string> const &locations) override
    {
        hostOperation("shelves.newTool", file_path, name, label, script, language, icon, help, help_url,
                      network_categories, viewer_categories, pop_viewer_categories, cop_viewer_categories,
                      network_op_type, viewer_op_type, locations);
        ToolData const data{script, &language, icon, help, help_url,
                            {&network_categories, &viewer_categories, &pop_viewer_categories,
                             &cop_viewer_categories},
                            {network_op_type, viewer_op_type}, &locations};
        return new Owned<ToolHandle>(
            create(ToolKind, file_path, name, label, [&](StoredElement &tool) { assignToolData(tool, data); }));
    }

    std::string defaultFilePath() override
    {
        hostOperation("shelves.defaultFilePath");
        return defaultFile();
    }

private:
    static std::string defaultFile() { return shelfFolder() + "/default.shelf"; }

    template <class Fill>
    static ElementPtr create(ElementKind kind, char const *file_path, char const *name, char const *label, Fill fill)
    {
        std::string const file = writablePath(file_path ? file_path : defaultFile().c_str(), "Shelf");
        auto const element = addElement(kind, file, name, label);
        fill(*element);
        insertElement(element);
        try
        {
            saveShelfFile(file);
        }
        catch (...)
        {
            shelfStore().byName[kind].erase(element->name);
            removeFromFile(element);
            throw;
        }
        return element;
    }
};

} // namespace

KOM_shelves &theShelves()
{
    static HostShelves theObject;
    return theObject;
}

KOM_ShelfDock *newShelfDock() { return new ShelfDockHandle(); }

void runTool(std::string const &name, void (*run)(std::string const &script, bool python))
{
    auto const &tools = shelfStore().byName[ToolKind];
    auto const found = tools.find(name);
    if (found == tools.end())
        throw KOM_OperationFailed(("No tool named \"" + name + "\"").c_str());
    ElementPtr const tool = found->second;
    auto &running = shelfStore().running;
    running.push_back(name);
    struct Done
    {
        std::vector<std::string> &running;
        ~Done() { running.pop_back(); }
    } done{running};
    run(tool->script, tool->language == &KOM_scriptLanguage::Python);
}

JournalValue JournalFormat<KOM_ShelfElement>::format(KOM_ShelfElement const &element)
{
    auto const *state = dynamic_cast<ElementState const *>(&element);
    return journalHandle(
        [&] {
            if (!state)
                return std::string("<shelf element>");
            auto const stored = state->stored();
            return "<" + std::string(KindWords[stored->kind]) + " " + stored->name + ">";
        },
        "<deleted shelf element>");
}

JournalValue JournalFormat<KOM_Shelf>::format(KOM_Shelf const &shelf)
{
    return journalValue(static_cast<KOM_ShelfElement const &>(shelf));
}

JournalValue JournalFormat<KOM_ShelfSet>::format(KOM_ShelfSet const &set)
{
    return journalValue(static_cast<KOM_ShelfElement const &>(set));
}

JournalValue JournalFormat<KOM_Tool>::format(KOM_Tool const &tool)
{
    return journalValue(static_cast<KOM_ShelfElement const &>(tool));
}

} // namespace kalhost
