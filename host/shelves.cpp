// Shelves in the reference host: shelf sets, shelves and tools stored by name, each kept in a
// shelf file that is rewritten whole after every change.
#include "host/shelves.h"

#include <algorithm>
#include <array>
#include <map>
#include <sstream>

#include "host/nodetypes.h"
#include "host/parms.h"
#include "host/scene.h"
#include "model/errors.h"

namespace kalhost
{

// --- storage ---

namespace
{

char const ShelfHeader[] = "kalvane shelf file 1";

enum Kind
{
    ShelfSetKind,
    ShelfKind,
    ToolKind,
    KindCount
};

char const *const KindKeys[KindCount] = {"shelfSet", "shelf", "tool"};
char const *const KindWords[KindCount] = {"shelf set", "shelf", "tool"};
char const *const KindStems[KindCount] = {"shelf_set", "shelf", "tool"};

// The tool menus, by the pane that shows them, and the keys that store them.
constexpr int MenuCount = 4;
int const MenuPanes[MenuCount] = {KOM_NetworkEditorPaneTabId, KOM_SceneViewerPaneTabId,
                                  KOM_ParticleViewerPaneTabId, KOM_CompositorViewerPaneTabId};
char const *const MenuKeys[MenuCount] = {"networkCategory", "viewerCategory", "popViewerCategory",
                                         "copViewerCategory"};
char const *const OpTypeKeys[2] = {"networkOpType", "viewerOpType"};

struct StoredElement
{
    Kind kind;
    std::string name;
    std::string label;
    std::string file;
    bool destroyed = false;
    std::vector<std::weak_ptr<StoredElement>> members; // a set's shelves, a shelf's tools

    std::string script;
    KOM_EnumValue const *language = &KOM_scriptLanguage::Python;
    std::string icon;
    std::string help;
    std::string helpURL;
    std::array<std::vector<int>, MenuCount> menuCategories; // category codes
    std::array<std::string, 2> opTypes;
    std::vector<std::string> locations;
};

using ElementPtr = std::shared_ptr<StoredElement>;

struct ShelfStore
{
    std::array<std::map<std::string, ElementPtr>, KindCount> byName;
    std::map<std::string, std::vector<ElementPtr>> byFile; // in the order the file lists them
    std::vector<std::string> running;                      // names of the tools running, innermost last
};

ShelfStore &store()
{
    shelfFolder(); // a reset lays the baseline before the first use
    static ShelfStore theStore;
    return theStore;
}

std::vector<ElementPtr> liveMembers(StoredElement const &element)
{
    std::vector<ElementPtr> members;
    for (auto const &member : element.members)
        if (auto alive = member.lock(); alive && !alive->destroyed)
            members.push_back(alive);
    return members;
}

std::string categoryName(int code)
{
    for (auto const &[name, category] : categoriesByName())
        if (categoryCodeOf(*category) == code)
            return name;
    return std::to_string(code);
}

int categoryCode(std::string const &name)
{
    auto const categories = categoriesByName();
    auto const found = categories.find(name);
    if (found == categories.end())
        throw KOM_OperationFailed(("Unknown node type category " + name).c_str());
    return categoryCodeOf(*found->second);
}

void addLine(std::ostringstream &out, char const *key, std::string const &value, bool always = false)
{
    if (always || !value.empty())
        out << "  " << key << ' ' << escapeValue(value) << '\n';
}

std::string fileContents(std::vector<ElementPtr> const &elements)
{
    std::ostringstream out;
    out << ShelfHeader << '\n';
    for (auto const &element : elements)
    {
        out << KindKeys[element->kind] << ' ' << escapeValue(element->name) << '\n';
        addLine(out, "label", element->label, true);
        for (auto const &member : liveMembers(*element))
            addLine(out, KindKeys[member->kind], member->name, true);
        if (element->kind != ToolKind)
            continue;
        addLine(out, "script", element->script);
        addLine(out, "language", element->language->valueName, true);
        addLine(out, "icon", element->icon);
        addLine(out, "help", element->help);
        addLine(out, "helpURL", element->helpURL);
        for (int menu = 0; menu < MenuCount; ++menu)
            for (int code : element->menuCategories[menu])
                addLine(out, MenuKeys[menu], categoryName(code), true);
        for (int menu = 0; menu < 2; ++menu)
            addLine(out, OpTypeKeys[menu], element->opTypes[menu]);
        for (auto const &location : element->locations)
            addLine(out, "location", location, true);
    }
    return out.str();
}

void save(std::string const &file)
{
    auto const found = store().byFile.find(file);
    writeFileAtomically(file, fileContents(found == store().byFile.end() ? std::vector<ElementPtr>() : found->second));
}

void assignLanguage(StoredElement &tool, KOM_EnumValue const &language)
{
    if (!isOfEnumeration(language, typeid(KOM_scriptLanguage)))
        throw KOM_TypeError("A tool's language is a scriptLanguage value");
    tool.language = &language;
}

// Which of the tool menus that pane shows; KOM_TypeError for a value that names no such pane.
int menuOf(KOM_EnumValue const &pane, int menus)
{
    if (isOfEnumeration(pane, typeid(KOM_paneTabType)))
        for (int menu = 0; menu < menus; ++menu)
            if (MenuPanes[menu] == pane.valueId)
                return menu;
    throw KOM_TypeError((std::string("No tool menu for ") + pane.reprText).c_str());
}

std::vector<int> categoryCodes(std::vector<KOM_NodeTypeCategory *> const &categories)
{
    std::vector<int> codes;
    for (auto *category : categories)
    {
        if (!category)
            throw KOM_TypeError("A tool menu category cannot be None");
        codes.push_back(categoryCodeOf(*category));
    }
    return codes;
}

struct ToolData
{
    char const *script;
    KOM_EnumValue const *language;
    char const *icon;
    char const *help;
    char const *helpURL;
    std::array<std::vector<KOM_NodeTypeCategory *> const *, MenuCount> categories;
    std::array<char const *, 2> opTypes;
    std::vector<std::string> const *locations;
};

// Checks everything before the first field changes.
void assignToolData(StoredElement &tool, ToolData const &data)
{
    StoredElement checked = tool;
    assignLanguage(checked, *data.language);
    for (int menu = 0; menu < MenuCount; ++menu)
        checked.menuCategories[menu] = categoryCodes(*data.categories[menu]);
    auto const text = [](char const *value) { return std::string(value ? value : ""); };
    checked.script = text(data.script);
    checked.icon = text(data.icon);
    checked.help = text(data.help);
    checked.helpURL = text(data.helpURL);
    for (int menu = 0; menu < 2; ++menu)
        checked.opTypes[menu] = text(data.opTypes[menu]);
    checked.locations = *data.locations;
    tool = std::move(checked);
}

std::string freeName(Kind kind)
{
    auto const &names = store().byName[kind];
    for (int number = 1;; ++number)
    {
        std::string name = KindStems[kind] + std::to_string(number);
        if (!names.count(name))
            return name;
    }
}

ElementPtr addElement(Kind kind, std::string const &file, char const *name, char const *label)
{
    std::string const wanted = name ? name : freeName(kind);
    if (wanted.empty() || store().byName[kind].count(wanted))
        throw KOM_OperationFailed((std::string("A ") + KindWords[kind] + " named \"" + wanted +
                                   "\" already exists")
                                      .c_str());
    auto element = std::make_shared<StoredElement>();
    element->kind = kind;
    element->name = wanted;
    element->label = label ? label : wanted;
    element->file = file;
    return element;
}

void insert(ElementPtr const &element)
{
    store().byName[element->kind][element->name] = element;
    store().byFile[element->file].push_back(element);
}

void removeFromFile(ElementPtr const &element)
{
    auto &elements = store().byFile[element->file];
    elements.erase(std::remove(elements.begin(), elements.end(), element), elements.end());
}

// The files of the elements that list `member`, which changed its name or went away.
void saveContainersOf(StoredElement const &member, bool drop)
{
    if (member.kind == ShelfSetKind)
        return;
    Kind const containerKind = member.kind == ToolKind ? ShelfKind : ShelfSetKind;
    std::vector<std::string> files;
    for (auto const &[name, container] : store().byName[containerKind])
    {
        bool holds = false;
        for (auto const &held : container->members)
            holds = holds || held.lock().get() == &member;
        if (!holds)
            continue;
        if (drop)
            removeIf(container->members, [&](auto const &held) { return held.lock().get() == &member; });
        files.push_back(container->file);
    }
    for (auto const &file : files)
        try
        {
            requireWritable(file);
            save(file);
        }
        catch (KOM_PermissionError const &)
        {
            // A read-only file keeps its old text; loading skips names it no longer finds.
        }
}

// Loads one shelf file; members are linked by name once every file is read.
void loadFile(std::string const &path, std::vector<std::pair<ElementPtr, std::vector<std::string>>> &links)
{
    ElementPtr element;
    std::vector<std::string> *memberNames = nullptr;
    for (auto const &line : readFileLines(path, ShelfHeader))
    {
        auto const failure = [&](std::string const &what) {
            return KOM_OperationFailed((path + ":" + std::to_string(line.number) + ": " + what).c_str());
        };
        if (!line.indented)
        {
            int kind = 0;
            while (kind < KindCount && line.key != KindKeys[kind])
                ++kind;
            if (kind == KindCount)
                throw failure("\"" + line.key + "\" is no shelf set, shelf or tool");
            if (store().byName[kind].count(line.value))
                throw failure(std::string("a second ") + KindWords[kind] + " named \"" + line.value + "\"");
            element = addElement(static_cast<Kind>(kind), path, line.value.c_str(), nullptr);
            insert(element);
            links.emplace_back(element, std::vector<std::string>());
            memberNames = &links.back().second;
            continue;
        }
        if (!element)
            throw failure("a field outside any element");
        StoredElement &e = *element;
        bool const tool = e.kind == ToolKind;
        if (line.key == "label")
            e.label = line.value;
        else if ((e.kind == ShelfSetKind && line.key == "shelf") || (e.kind == ShelfKind && line.key == "tool"))
            memberNames->push_back(line.value);
        else if (tool && line.key == "script")
            e.script = line.value;
        else if (tool && line.key == "language")
        {
            if (line.value == KOM_scriptLanguage::Python.valueName)
                e.language = &KOM_scriptLanguage::Python;
            else if (line.value == KOM_scriptLanguage::Kscript.valueName)
                e.language = &KOM_scriptLanguage::Kscript;
            else
                throw failure("unknown language \"" + line.value + "\"");
        }
        else if (tool && line.key == "icon")
            e.icon = line.value;
        else if (tool && line.key == "help")
            e.help = line.value;
        else if (tool && line.key == "helpURL")
            e.helpURL = line.value;
        else if (tool && line.key == "location")
            e.locations.push_back(line.value);
        else
        {
            bool known = false;
            for (int menu = 0; tool && menu < MenuCount && !known; ++menu)
                if (line.key == MenuKeys[menu])
                {
                    try
                    {
                        e.menuCategories[menu].push_back(categoryCode(line.value));
                    }
                    catch (KOM_OperationFailed const &error)
                    {
                        throw failure(error.instanceMessage());
                    }
                    known = true;
                }
            for (int menu = 0; tool && menu < 2 && !known; ++menu)
                if (line.key == OpTypeKeys[menu])
                    e.opTypes[menu] = line.value, known = true;
            if (!known)
                throw failure("unknown field \"" + line.key + "\" for a " + KindWords[e.kind]);
        }
    }
}

char const BaselineShelf[] = R"(kalvane shelf file 1
shelfSet shelf_set_1
  label Default
  shelf create
shelf create
  label Create
  tool box
tool box
  label Box
  script import kal\nkal.node("/obj").createNode("geo", "box_object").createNode("box")
  language Python
  icon SOP_box
  help Makes a geometry object holding a box.
  networkCategory Object
  viewerCategory Object
  networkOpType geo
  viewerOpType geo
  location Create
)";

} // namespace

void resetShelves()
{
    std::string const folder = layShelfFolder();
    store() = ShelfStore();
    std::string const shelfFile = folder + "/default.shelf";
    writeFileAtomically(shelfFile, BaselineShelf);
    std::vector<std::pair<ElementPtr, std::vector<std::string>>> links;
    loadFile(shelfFile, links);
    for (auto &[element, names] : links)
    {
        Kind const memberKind = element->kind == ShelfSetKind ? ShelfKind : ToolKind;
        for (auto const &name : names)
            if (auto found = store().byName[memberKind].find(name); found != store().byName[memberKind].end())
                element->members.push_back(found->second);
    }
    resetGalleries(folder);
}

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
        requireWritable(element->file);
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

    bool __eq__(KOM_ShelfElement *other) override
    {
        hostOperation("ShelfElement.__eq__", other);
        return other && storedOf(other) == stored();
    }

    bool __ne__(KOM_ShelfElement *other) override
    {
        hostOperation("ShelfElement.__ne__", other);
        return !(other && storedOf(other) == stored());
    }

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
        store().byFile[file].push_back(element);
        save(old);
        save(file);
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
        auto &names = store().byName[element->kind];
        if (wanted.empty() || names.count(wanted))
            throw KOM_OperationFailed((std::string("A ") + KindWords[element->kind] + " named \"" + wanted +
                                       "\" already exists")
                                          .c_str());
        names.erase(element->name);
        element->name = wanted;
        names[wanted] = element;
        save(element->file);
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
        save(element->file);
    }

protected:
    // Removes the element everywhere; its members stay.
    void destroyElement(char const *operation)
    {
        hostOperation(operation);
        auto const element = editable();
        element->destroyed = true;
        store().byName[element->kind].erase(element->name);
        removeFromFile(element);
        save(element->file);
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
        save(shelf->file);
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
        save(set->file);
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
        save(tool->file);
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
        save(tool->file);
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
        save(tool->file);
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
        save(tool->file);
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
        save(tool->file);
    }

    void destroy() override { destroyElement("Tool.destroy"); }

private:
    void setText(char const *operation, char const *text, std::string StoredElement::*field)
    {
        hostOperation(operation, text);
        auto const tool = editable();
        (*tool).*field = text ? text : "";
        save(tool->file);
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
        auto const &tools = store().byName[ToolKind];
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
    static std::map<std::string, std::unique_ptr<KeptToolHandle>> theKept;
    auto &kept = theKept[name];
    if (!kept)
        kept.reset(new KeptToolHandle(name));
    return kept.get();
}

// --- ShelfDock ---

class ShelfDockHandle : public KOM_ShelfDock, private LiveCounted
{
public:
    std::string __repr__() override
    {
        hostOperation("ShelfDock.__repr__");
        return "<kal.ShelfDock showing " + std::to_string(store().byName[ShelfSetKind].size()) + " shelf sets>";
    }

    std::vector<KOM_ElemPtr<KOM_ShelfSet>> shelfSets() override
    {
        hostOperation("ShelfDock.shelfSets");
        std::vector<KOM_ElemPtr<KOM_ShelfSet>> sets;
        for (auto const &[name, set] : store().byName[ShelfSetKind])
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
std::map<std::string, KOM_ElemPtr<Interface>> handlesByName(Kind kind)
{
    std::map<std::string, KOM_ElemPtr<Interface>> handles;
    for (auto const &[name, element] : store().byName[kind])
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
        auto const &running = store().running;
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
    static ElementPtr create(Kind kind, char const *file_path, char const *name, char const *label, Fill fill)
    {
        std::string const file = writablePath(file_path ? file_path : defaultFile().c_str(), "Shelf");
        auto const element = addElement(kind, file, name, label);
        fill(*element);
        insert(element);
        save(file);
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
    auto const &tools = store().byName[ToolKind];
    auto const found = tools.find(name);
    if (found == tools.end())
        throw KOM_OperationFailed(("No tool named \"" + name + "\"").c_str());
    ElementPtr const tool = found->second;
    auto &running = store().running;
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
