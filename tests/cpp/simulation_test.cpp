// Simulation in the reference host: the rigid-body steps against the closed form of free fall,
// contact with the ground, and the states cached per frame.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "host/host.h"
#include "host/journal.h"
#include "host/nodes.h"
#include "host/parms.h"
#include "host/scene.h"
#include "host/simulation.h"
#include "model/parms.h"

using namespace kalhost;

namespace
{

RigidBodySetup body(double height, double bounce = 0.0, double radius = 0.5)
{
    RigidBodySetup setup;
    setup.position = {0.0, height, 0.0};
    setup.bounce = bounce;
    setup.radius = radius;
    return setup;
}

RigidBodyState start(RigidBodySetup const &setup)
{
    RigidBodyState state;
    state.position = setup.position;
    state.velocity = setup.velocity;
    return state;
}

TEST(RigidBody, FallsAsTheClosedFormSaysWhateverTheSteps)
{
    RigidBodySetup setup = body(100.0);
    setup.velocity = {1.0, 3.0, -2.0};
    RigidBodyState stepped = start(setup);
    for (int frame = 0; frame < 96; ++frame)
        advance(setup, stepped, 1.0 / 24.0);
    RigidBodyState once = start(setup);
    advance(setup, once, 4.0);
    double const t = 4.0;
    double const expected = 100.0 + 3.0 * t - 0.5 * Gravity * t * t;
    for (RigidBodyState const &state : {stepped, once})
    {
        EXPECT_NEAR(state.position[0], 4.0, 1e-9);
        EXPECT_NEAR(state.position[1], expected, 1e-9);
        EXPECT_NEAR(state.position[2], -8.0, 1e-9);
        EXPECT_NEAR(state.velocity[1], 3.0 - Gravity * t, 1e-9);
        EXPECT_FALSE(state.resting);
    }
}

TEST(RigidBody, RestsOnTheGroundWithoutBounce)
{
    RigidBodySetup setup = body(10.0);
    setup.velocity = {2.0, 0.0, 0.0};
    RigidBodyState state = start(setup);
    double const meets = std::sqrt(2.0 * 9.5 / Gravity);
    advance(setup, state, meets + 1.0);
    EXPECT_TRUE(state.resting);
    EXPECT_EQ(state.position[1], 0.5);
    EXPECT_NEAR(state.position[0], 2.0 * meets, 1e-9); // slid until it met the ground
    EXPECT_EQ(state.velocity[0], 0.0);
    advance(setup, state, 10.0);
    EXPECT_EQ(state.position[1], 0.5);
}

TEST(RigidBody, BouncesWithTheShareOfSpeedItKeeps)
{
    RigidBodySetup const setup = body(10.0, 0.5, 0.0);
    RigidBodyState state = start(setup);
    double const meets = std::sqrt(2.0 * 10.0 / Gravity);
    double const rebound = 0.5 * Gravity * meets;
    advance(setup, state, meets + 0.25); // the contact falls inside the step
    EXPECT_FALSE(state.resting);
    EXPECT_NEAR(state.velocity[1], rebound - Gravity * 0.25, 1e-9);
    EXPECT_NEAR(state.position[1], rebound * 0.25 - 0.5 * Gravity * 0.0625, 1e-9);
    advance(setup, state, 60.0); // the bounces die out and it rests
    EXPECT_TRUE(state.resting);
    EXPECT_EQ(state.position[1], 0.0);
}

TEST(RigidBody, AtRestOnTheGroundStaysThere)
{
    RigidBodySetup const setup = body(0.5);
    RigidBodyState state = start(setup);
    advance(setup, state, 1.0);
    EXPECT_TRUE(state.resting);
    EXPECT_EQ(state.position[1], 0.5);
}

std::unique_ptr<NodeHandle> nodeHandle(std::shared_ptr<SceneNode> const &node)
{
    return std::unique_ptr<NodeHandle>(dynamic_cast<NodeHandle *>(NodeHandle::handleFor(node)));
}

class SimulationNetwork : public ::testing::Test
{
protected:
    void SetUp() override
    {
        resetHost();
        network = theScene().create(theScene().find("/obj", nullptr), "dopnet", "sim");
        ball = theScene().create(network, "rigidobject", "ball");
    }

    std::shared_ptr<SceneNode> network;
    std::shared_ptr<SceneNode> ball;
};

TEST_F(SimulationNetwork, StepsOnlyFromTheNearestCachedFrame)
{
    SceneSimulation &simulation = simulationOf(network);
    std::uint64_t const before = simulation.steps;
    double const height = statesAt(simulation, 10)[0].position[1];
    EXPECT_EQ(simulation.steps - before, 9u);
    EXPECT_NEAR(height, 5.0 - 0.5 * Gravity * std::pow(9.0 / 24.0, 2), 1e-9);
    EXPECT_LT(statesAt(simulation, 5)[0].position[1], 5.0);
    EXPECT_EQ(simulation.steps - before, 9u); // an earlier frame is cached
    statesAt(simulation, 12);
    EXPECT_EQ(simulation.steps - before, 11u);
    EXPECT_EQ(statesAt(simulation, -3)[0].position[1], 5.0); // before the start: the start
    EXPECT_EQ(statesAt(simulation, 10)[0].position[1], height);
}

TEST_F(SimulationNetwork, ANewStartDropsTheCache)
{
    SceneSimulation &simulation = simulationOf(network);
    statesAt(simulation, 20);
    std::unique_ptr<KOM_Parm>(parmHandle(ball, "ty"))->set(8.0f);
    std::uint64_t const before = simulationOf(network).steps;
    EXPECT_EQ(simulationOf(network).frames.size(), 1u);
    EXPECT_NEAR(statesAt(simulationOf(network), 2)[0].position[1], 8.0 - 0.5 * Gravity / (24.0 * 24.0), 1e-9);
    EXPECT_EQ(simulationOf(network).steps - before, 1u);
}

TEST_F(SimulationNetwork, ObjectsKeepTheirNumbersAndACopyRunsItsOwn)
{
    auto const crate = theScene().create(network, "rigidobject", "crate");
    auto &simulation = simulationOf(network);
    ASSERT_EQ(simulation.bodies.size(), 2u);
    EXPECT_EQ(simulation.bodies[1].objid, 1);
    nodeHandle(ball)->destroy();
    EXPECT_EQ(simulationOf(network).bodies.size(), 1u);
    EXPECT_EQ(simulationOf(network).bodies[0].objid, 1);
    EXPECT_EQ(simulationNetworkOf(crate), network);
    EXPECT_EQ(simulationNetworkOf(network->parent.lock()), nullptr);

    theScene().create(network, "rigidobject", "drop");
    nodeHandle(crate)->bypass(true);
    auto const copy = theScene().copyTo({network}, network->parent.lock()).at(0);
    SceneSimulation &copied = simulationOf(copy);
    EXPECT_NE(&copied, &simulationOf(network));
    EXPECT_NE(copied.serial, simulationOf(network).serial);
    ASSERT_EQ(copied.bodies.size(), 1u); // the copied crate is bypassed too
    EXPECT_EQ(copied.bodies[0].node.lock()->name, "drop");
    EXPECT_EQ(copied.bodies[0].node.lock()->parent.lock(), copy);
}

TEST_F(SimulationNetwork, ReadsTheBodiesAgainOnlyAfterAnOperationThatMayEdit)
{
    auto const crate = theScene().create(network, "rigidobject", "crate");
    SceneSimulation &simulation = simulationOf(network);
    std::uint64_t const reads = simulation.reads;
    ASSERT_EQ(simulation.bodies.size(), 2u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(simulationOf(network).bodyFor(*crate), &simulation.bodies[1]);
    EXPECT_EQ(simulation.reads, reads);
    hostQuery("a reading operation");
    EXPECT_EQ(simulationOf(network).reads, reads);

    std::unique_ptr<KOM_Parm>(parmHandle(crate, "mass"))->set(3.0f);
    EXPECT_EQ(simulationOf(network).bodies[1].mass, 3.0);
    EXPECT_EQ(simulation.reads, reads + 1);
    simulationOf(network);
    EXPECT_EQ(simulation.reads, reads + 1);
    hostOperation("any other operation");
    simulationOf(network);
    EXPECT_EQ(simulation.reads, reads + 2);
    EXPECT_EQ(simulation.bodyFor(1)->node.lock(), crate);
    EXPECT_EQ(simulation.bodyFor(2), nullptr);
    EXPECT_EQ(simulation.bodyFor(*network), nullptr);
}

TEST_F(SimulationNetwork, AnOperationThatChangesNoBodyKeepsTheStates)
{
    auto const height = statesAt(simulationOf(network), 12)[0].position;
    std::uint64_t const steps = simulationOf(network).steps;
    std::uint64_t const reads = simulationOf(network).reads;
    nodeHandle(ball)->setComment("unrelated");
    EXPECT_EQ(statesAt(simulationOf(network), 12)[0].position, height);
    EXPECT_EQ(simulationOf(network).reads, reads + 1);
    EXPECT_EQ(simulationOf(network).steps, steps);
}

} // namespace
