// A geometry network under /obj, fresh for every test: what the scene and node tests build on.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "host/host.h"
#include "host/scene.h"

namespace kalhost
{

class Network : public ::testing::Test
{
protected:
    void SetUp() override
    {
        resetHost();
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
