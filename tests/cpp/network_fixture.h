// What the host tests build on: a host reset around each test, and a geometry network under /obj.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "host/host.h"
#include "host/scene.h"

namespace kalhost
{

class FreshHost : public ::testing::Test
{
protected:
    void SetUp() override { resetHost(); }
    void TearDown() override { resetHost(); }
};

class Network : public FreshHost
{
protected:
    void SetUp() override
    {
        FreshHost::SetUp();
        obj = theScene().find("/obj", nullptr);
        geo = theScene().create(obj, "geo", "g");
    }

    std::shared_ptr<SceneNode> sop(char const *type, char const *name = nullptr)
    {
        return theScene().create(geo, type, name);
    }

    std::shared_ptr<SceneNode> obj;
    std::shared_ptr<SceneNode> geo;
};

} // namespace kalhost
