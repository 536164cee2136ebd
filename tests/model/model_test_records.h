// Model bases and models built the way a model loader would, for the tests: the
// library itself reads no model files.
#pragma once

#include "model/model_records.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ModelTest {

struct MeshRecipe {
    int vertexKind;
    int variant;
    int texCoordSets;
    int vertexCount;
    int indexCount;
    int ownVertexBuffer;
};

// Names of objects as they are released or deleted, in order.
extern std::vector<std::string> Events;

// A base (use count 1) with the meshes and textureCount textures, each with a
// graph loaded from the white built-in file; its handle
int CreateBase(const std::vector<MeshRecipe> &meshes, int textureCount, int rigidBodyCount, int jointCount);
// A model of the base with its own textures (the first usedTextures in use,
// each with a graph) and one work block; its handle
int CreateModel(int baseHandle, int textureCount, int usedTextures);
// A Bullet world for the model whose objects name themselves in Events when
// deleted: bodies 0 .. n-2 with motion states, the last body without one, a
// plain collision object, and one point constraint per joint
void BuildPhysics(int modelHandle);

Korvo::ModelBaseHandleRecord *BaseRecord(int handle);
Korvo::ModelHandleRecord *ModelRecord(int handle);

// Graph and model kinds on the recording device, which hands out buffers. Graphs
// are made in software (the host has no device); buffers need Direct3D mode, which
// the tests switch on around their buffer calls.
class ModelKindsFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

} // namespace ModelTest
