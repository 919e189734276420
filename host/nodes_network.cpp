// The items of a node's network it hands out in lists: connectors and network boxes.
#include "host/nodes.h"

#include <fnmatch.h>

#include <algorithm>
#include <map>

#include "host/journal.h"
#include "model/errors.h"

namespace kalhost
{

// --- Connections -----------------------------------------------------------------------

// The connections that feed one input slot or leave from one output of a node.
std::vector<KOM_ElemPtr<KOM_NodeConnection>> inputConnectionsOf(
    std::shared_ptr<SceneNode> const &node, int firstSlot, int lastSlot)
{
    std::vector<KOM_ElemPtr<KOM_NodeConnection>> result;
    int const end = std::min(lastSlot, static_cast<int>(node->inputs().size()) - 1);
    for (int slot = firstSlot; slot <= end; ++slot)
        if (isConnected(node->inputs()[slot]))
            result.emplace_back(new NodeConnectionHandle(node, slot));
    return result;
}

std::vector<KOM_ElemPtr<KOM_NodeConnection>> outputConnectionsOf(
    std::shared_ptr<SceneNode> const &node, int outputIndex)
{
    std::vector<KOM_ElemPtr<KOM_NodeConnection>> result;
    for (auto const &output : node->outputs())
        for (std::size_t slot = 0; slot < output->inputs().size(); ++slot)
        {
            auto const &input = output->inputs()[slot];
            if (!input.indirect && input.node.lock() == node &&
                (outputIndex < 0 || input.outputIndex == outputIndex))
                result.emplace_back(new NodeConnectionHandle(output, static_cast<int>(slot)));
        }
    return result;
}

namespace
{

int outputConnectorCount(std::shared_ptr<SceneNode> const &node)
{
    int count = 1;
    for (auto const &output : node->outputs())
        for (auto const &input : output->inputs())
            if (!input.indirect && input.node.lock() == node)
                count = std::max(count, input.outputIndex + 1);
    return count;
}

// The connectors of a node, read when an item is asked for. The list keeps the vectors
// it hands out; the connections in them belong to whoever receives them.
class ConnectorList : public KOM_IterableList<std::vector<KOM_ElemPtr<KOM_NodeConnection>>>,
                      private LiveCounted
{
public:
    ConnectorList(std::shared_ptr<SceneNode> const &node, bool inputSide)
        : myNode(node), myInputSide(inputSide)
    {
    }

    int __len__() override
    {
        auto const node = scene();
        return myInputSide ? static_cast<int>(node->inputs().size()) : outputConnectorCount(node);
    }

    std::string __repr__() override
    {
        return std::string("<") + (myInputSide ? "input" : "output") + " connectors of " +
               scene()->path() + ">";
    }

    std::vector<KOM_ElemPtr<KOM_NodeConnection>> *itemAt(int index) override
    {
        auto const node = scene();
        myItems.push_back(std::make_unique<std::vector<KOM_ElemPtr<KOM_NodeConnection>>>(
            myInputSide ? inputConnectionsOf(node, index, index) : outputConnectionsOf(node, index)));
        return myItems.back().get();
    }

private:
    std::shared_ptr<SceneNode> scene() const { return liveNode(myNode); }

    std::weak_ptr<SceneNode> myNode;
    bool myInputSide;
    std::vector<std::unique_ptr<std::vector<KOM_ElemPtr<KOM_NodeConnection>>>> myItems;
};

class NetworkBoxList : public KOM_IterableList<KOM_NetworkBox>, private LiveCounted
{
public:
    explicit NetworkBoxList(std::shared_ptr<SceneNode> const &network) : myNetwork(network) {}

    int __len__() override { return static_cast<int>(scene()->networkBoxes.size()); }

    std::string __repr__() override { return "<network boxes of " + scene()->path() + ">"; }

    KOM_NetworkBox *itemAt(int index) override
    {
        auto const network = scene();
        return new NetworkBoxHandle(network, network->networkBoxes.at(index));
    }

private:
    std::shared_ptr<SceneNode> scene() const { return liveNode(myNetwork); }

    std::weak_ptr<SceneNode> myNetwork;
};

std::shared_ptr<SceneNetworkBox> findBox(SceneNode const &network, std::string const &name)
{
    for (auto const &box : network.networkBoxes)
        if (box->name == name)
            return box;
    return nullptr;
}

std::shared_ptr<SceneNetworkBox> addBox(std::shared_ptr<SceneNode> const &network,
                                        char const *name, std::string const &unnamedStem)
{
    std::string boxName;
    if (name)
    {
        boxName = name;
        checkBoxName(*network, boxName, nullptr);
    }
    else
    {
        // The lowest number free after the stem, from one pass over the boxes: n boxes hold at
        // most n of the numbers 1..n+1.
        std::vector<bool> taken(network->networkBoxes.size() + 2, false);
        for (auto const &box : network->networkBoxes)
            if (box->name.size() > unnamedStem.size() && box->name.compare(0, unnamedStem.size(), unnamedStem) == 0)
            {
                std::string const digits = box->name.substr(unnamedStem.size());
                if (digits.size() >= 10 || digits[0] == '0' ||
                    digits.find_first_not_of("0123456789") != std::string::npos)
                    continue;
                std::size_t const number = std::stoul(digits);
                if (number < taken.size())
                    taken[number] = true;
            }
        std::size_t number = 1;
        while (taken[number])
            ++number;
        boxName = unnamedStem + std::to_string(number);
    }
    auto box = std::make_shared<SceneNetworkBox>();
    box->name = boxName;
    network->networkBoxes.push_back(box);
    return box;
}

} // namespace

void checkBoxName(SceneNode const &network, std::string const &name, SceneNetworkBox const *box)
{
    if (!isValidNodeName(name))
        throw KOM_InvalidNodeName(("Invalid network box name: " + name).c_str());
    auto const holder = findBox(network, name);
    if (holder && holder.get() != box)
        throw KOM_OperationFailed(("Network box name already in use: " + name).c_str());
}

// --- NodeConnection ----------------------------------------------------------------------

std::shared_ptr<SceneNode> NodeConnectionHandle::destination() const
{
    auto node = liveNode(myDestination);
    wire(*node);
    return node;
}

SceneNode::Input const &NodeConnectionHandle::wire(SceneNode const &destination) const
{
    // The wire is gone once its input slot is empty.
    auto const &inputs = destination.inputs();
    std::size_t const slot = static_cast<std::size_t>(myInputIndex);
    if (slot >= inputs.size() || !isConnected(inputs[slot]))
        throw KOM_ObjectWasDeleted();
    return inputs[slot];
}

std::string NodeConnectionHandle::__repr__()
{
    hostOperation("NodeConnection.__repr__");
    auto const node = destination();
    auto const &input = wire(*node);
    auto const source = input.node.lock();
    std::string const from = input.indirect ? source->path() + " indirect input " + std::to_string(input.outputIndex)
                                            : source->path() + " output " + std::to_string(input.outputIndex);
    return "<kal.NodeConnection from " + from + " to " + node->path() + " input " +
           std::to_string(myInputIndex) + ">";
}

KOM_Node *NodeConnectionHandle::inputNode()
{
    hostOperation("NodeConnection.inputNode");
    auto const node = destination();
    auto const &input = wire(*node);
    return input.indirect ? nullptr : NodeHandle::handleFor(input.node.lock());
}

KOM_Node *NodeConnectionHandle::outputNode()
{
    hostOperation("NodeConnection.outputNode");
    return NodeHandle::handleFor(destination());
}

int NodeConnectionHandle::inputIndex()
{
    hostOperation("NodeConnection.inputIndex");
    destination();
    return myInputIndex;
}

int NodeConnectionHandle::outputIndex()
{
    hostOperation("NodeConnection.outputIndex");
    auto const node = destination();
    return wire(*node).outputIndex;
}

// --- SubnetIndirectInput -----------------------------------------------------------------

JournalValue JournalFormat<KOM_SubnetIndirectInput>::format(KOM_SubnetIndirectInput const &input)
{
    auto const handle = dynamic_cast<IndirectInputHandle const *>(&input);
    return journalHandle([handle] {
        auto const subnet = handle ? handle->subnet() : nullptr;
        return subnet ? std::to_string(handle->inputIndex()) + " of " + subnet->path()
                      : std::string("<indirect input>");
    }, "<deleted indirect input>");
}

std::shared_ptr<SceneNode> IndirectInputHandle::scene() const { return liveNode(mySubnet); }

std::string IndirectInputHandle::__repr__()
{
    hostOperation("SubnetIndirectInput.__repr__");
    return "<kal.SubnetIndirectInput " + std::to_string(myInputIndex) + " of " + scene()->path() + ">";
}

int IndirectInputHandle::number()
{
    hostOperation("SubnetIndirectInput.number");
    scene();
    return myInputIndex;
}

KOM_Node *IndirectInputHandle::parent()
{
    hostOperation("SubnetIndirectInput.parent");
    return NodeHandle::keptFor(scene());
}

// --- Connectors ------------------------------------------------------------------------

KOM_IterableList<std::vector<KOM_ElemPtr<KOM_NodeConnection>>> *NodeHandle::inputConnectors()
{
    hostOperation("Node.inputConnectors");
    return new ConnectorList(scene(), true);
}

KOM_IterableList<std::vector<KOM_ElemPtr<KOM_NodeConnection>>> *NodeHandle::outputConnectors()
{
    hostOperation("Node.outputConnectors");
    return new ConnectorList(scene(), false);
}

// --- Network boxes ---------------------------------------------------------------------

KOM_IterableList<KOM_NetworkBox> *NodeHandle::networkBoxes()
{
    hostOperation("Node.networkBoxes");
    return new NetworkBoxList(network());
}

KOM_NetworkBox *NodeHandle::createNetworkBox(char const *name)
{
    hostOperation("Node.createNetworkBox", name);
    auto const self = network();
    return new NetworkBoxHandle(self, addBox(self, name, "netbox"));
}

KOM_NetworkBox *NodeHandle::copyNetworkBox(KOM_NetworkBox &network_box_to_copy,
                                           char const *new_name, bool channel_reference_original)
{
    // Boxes hold no parameters, so there is nothing to reference.
    hostOperation("Node.copyNetworkBox", "<network box>", new_name, channel_reference_original);
    auto const self = network();
    auto const handle = dynamic_cast<NetworkBoxHandle *>(&network_box_to_copy);
    auto const original = handle ? handle->box() : nullptr;
    if (!original)
        throw KOM_ObjectWasDeleted();
    std::string const stem = original->name.substr(
        0, original->name.find_last_not_of("0123456789") + 1);
    auto const copy = addBox(self, new_name, stem.empty() ? "netbox" : stem);
    copy->position[0] = original->position[0] + DefaultSpacing[0];
    copy->position[1] = original->position[1] - DefaultSpacing[1];
    return new NetworkBoxHandle(self, copy);
}

KOM_NetworkBox *NodeHandle::findNetworkBox(char const *name)
{
    hostOperation("Node.findNetworkBox", name);
    auto const self = scene();
    auto const box = findBox(*self, name ? name : "");
    return box ? new NetworkBoxHandle(self, box) : nullptr;
}

std::vector<KOM_ElemPtr<KOM_NetworkBox>> NodeHandle::findNetworkBoxes(char const *pattern)
{
    hostOperation("Node.findNetworkBoxes", pattern);
    auto const self = scene();
    std::vector<KOM_ElemPtr<KOM_NetworkBox>> result;
    for (auto const &box : self->networkBoxes)
        if (pattern && fnmatch(pattern, box->name.c_str(), 0) == 0)
            result.emplace_back(new NetworkBoxHandle(self, box));
    return result;
}

} // namespace kalhost
