// Teardown of a model's Bullet objects.
//
// The order matters to Bullet: constraints leave the world before the bodies
// they join, bodies leave it before they are deleted, and the world goes before
// the solver, broadphase, dispatcher and configuration it was made with.

#include "model/model_module.h"

#include <BulletCollision/BroadphaseCollision/btBroadphaseInterface.h>
#include <BulletCollision/BroadphaseCollision/btDispatcher.h>
#include <BulletCollision/BroadphaseCollision/btOverlappingPairCallback.h>
#include <BulletCollision/CollisionDispatch/btCollisionConfiguration.h>
#include <BulletCollision/CollisionDispatch/btCollisionObject.h>
#include <BulletCollision/CollisionShapes/btCollisionShape.h>
#include <BulletDynamics/ConstraintSolver/btConstraintSolver.h>
#include <BulletDynamics/ConstraintSolver/btTypedConstraint.h>
#include <BulletDynamics/Dynamics/btDynamicsWorld.h>
#include <BulletDynamics/Dynamics/btRigidBody.h>
#include <LinearMath/btMotionState.h>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

template <typename T> static void DeleteAndClear(T *&object)
{
    delete object;
    object = nullptr;
}

static void RemoveAndDeleteConstraints(btDynamicsWorld *world)
{
    for (int i = world->getNumConstraints() - 1; i >= 0; --i) {
        btTypedConstraint *constraint = world->getConstraint(i);
        world->removeConstraint(constraint);
        delete constraint;
    }
}

static void RemoveAndDeleteCollisionObjects(btDynamicsWorld *world)
{
    for (int i = world->getNumCollisionObjects() - 1; i >= 0; --i) {
        btCollisionObject *object = world->getCollisionObjectArray()[i];
        if (object->getInternalType() == btCollisionObject::CO_RIGID_BODY) {
            btRigidBody *body = static_cast<btRigidBody *>(object);
            if (body->getMotionState() != nullptr) {
                delete body->getMotionState();
                body->setMotionState(nullptr);
            }
        }
        world->removeCollisionObject(object);
        delete object;
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int TeardownModelPhysics(ModelHandleRecord *model)
{
    ModelBaseHandleRecord *base = model->base;
    for (int i = 0; model->rigidBodies != nullptr && i < base->rigidBodyCount; ++i) {
        ModelRigidBodyState &state = model->rigidBodies[i];
        DeleteAndClear(state.shape);
        state.body = nullptr;
        state.motionState = nullptr;
    }
    for (int i = 0; model->joints != nullptr && i < base->jointCount; ++i) {
        model->joints[i].constraint = nullptr;
    }
    ModelPhysicsBundle &physics = model->physics;
    if (physics.world == nullptr) {
        return -1;
    }
    RemoveAndDeleteConstraints(physics.world);
    RemoveAndDeleteCollisionObjects(physics.world);
    DeleteAndClear(physics.pairCallback);
    DeleteAndClear(physics.world);
    DeleteAndClear(physics.solver);
    DeleteAndClear(physics.broadphase);
    DeleteAndClear(physics.dispatcher);
    DeleteAndClear(physics.collisionConfiguration);
    return 0;
}

} // namespace Korvo
