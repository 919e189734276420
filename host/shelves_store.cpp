// Shelf storage in the reference host: the elements by name and by file, the shelf file format
// (written whole after every change, read back at reset) and the baseline shelves.
#include <algorithm>
#include <array>
#include <map>
#include <sstream>

#include "host/nodetypes.h"
#include "host/parms.h"
#include "host/shelves.h"
#include "model/errors.h"

namespace kalhost
{

// --- storage ---

namespace
{

char const ShelfHeader[] = "kalvane shelf file 1";

char const *const KindKeys[KindCount] = {"shelfSet", "shelf", "tool"};
char const *const KindStems[KindCount] = {"shelf_set", "shelf", "tool"};

// The tool menus, by the pane that shows them, and the keys that store them.
char const *const MenuKeys[MenuCount] = {"networkCategory", "viewerCategory", "popViewerCategory",
                                         "copViewerCategory"};
char const *const OpTypeKeys[2] = {"networkOpType", "viewerOpType"};

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

std::string freeName(ElementKind kind)
{
    auto const &names = shelfStore().byName[kind];
    for (int number = 1;; ++number)
    {
        std::string name = KindStems[kind] + std::to_string(number);
        if (!names.count(name))
            return name;
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
            if (shelfStore().byName[kind].count(line.value))
                throw failure(std::string("a second ") + KindWords[kind] + " named \"" + line.value + "\"");
            element = addElement(static_cast<ElementKind>(kind), path, line.value.c_str(), nullptr);
            insertElement(element);
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

std::string categoryName(int code)
{
    for (auto const &[name, category] : categoriesByName())
        if (categoryCodeOf(*category) == code)
            return name;
    return std::to_string(code);
}

ShelfStore &shelfStore()
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

void saveShelfFile(std::string const &file)
{
    auto const found = shelfStore().byFile.find(file);
    writeFileAtomically(file, fileContents(found == shelfStore().byFile.end() ? std::vector<ElementPtr>() : found->second));
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

ElementPtr addElement(ElementKind kind, std::string const &file, char const *name, char const *label)
{
    std::string const wanted = name ? name : freeName(kind);
    if (wanted.empty() || shelfStore().byName[kind].count(wanted))
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

void insertElement(ElementPtr const &element)
{
    shelfStore().byName[element->kind][element->name] = element;
    shelfStore().byFile[element->file].push_back(element);
}

void removeFromFile(ElementPtr const &element)
{
    auto &elements = shelfStore().byFile[element->file];
    elements.erase(std::remove(elements.begin(), elements.end(), element), elements.end());
}

// The files of the elements that list `member`, which changed its name or went away.
void saveContainersOf(StoredElement const &member, bool drop)
{
    if (member.kind == ShelfSetKind)
        return;
    ElementKind const containerKind = member.kind == ToolKind ? ShelfKind : ShelfSetKind;
    std::vector<std::string> files;
    for (auto const &[name, container] : shelfStore().byName[containerKind])
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
            requireWritableFile(file);
            saveShelfFile(file);
        }
        catch (KOM_PermissionError const &)
        {
            // A read-only file keeps its old text; loading skips names it no longer finds.
        }
}

void resetShelves()
{
    std::string const folder = layShelfFolder();
    shelfStore() = ShelfStore();
    std::string const shelfFile = folder + "/default.shelf";
    writeFileAtomically(shelfFile, BaselineShelf);
    std::vector<std::pair<ElementPtr, std::vector<std::string>>> links;
    loadFile(shelfFile, links);
    for (auto &[element, names] : links)
    {
        ElementKind const memberKind = element->kind == ShelfSetKind ? ShelfKind : ToolKind;
        for (auto const &name : names)
            if (auto found = shelfStore().byName[memberKind].find(name); found != shelfStore().byName[memberKind].end())
                element->members.push_back(found->second);
    }
    resetGalleries(folder);
}

} // namespace kalhost
