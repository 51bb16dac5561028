// What every PowerSource backend promises, as a typed test suite. A backend's
// traits give make() (a fresh, reachable service), post(source, messageType)
// (the service sends a notice) and runUntilDelivered() (the notice arrives).
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "platform/iokit/IOMessage.h"
#include "platform/iokit/PowerSource.h"

template <class Traits>
class PowerSourceContract : public ::testing::Test {
 protected:
  struct Notice {
    uint32_t messageType;
    intptr_t id;
  };
  std::shared_ptr<PowerSource> source = Traits::make();
  std::vector<Notice> received;
  PowerSource::Delivery recorder() {
    return [this](uint32_t type, intptr_t id) { received.push_back({type, id}); };
  }
};

TYPED_TEST_SUITE_P(PowerSourceContract);

TYPED_TEST_P(PowerSourceContract, AWillSleepIsAcknowledgedExactlyOnceAHasPoweredOnNever) {
  const uint32_t registration = this->source->registerForSystemPower(this->recorder());
  ASSERT_NE(registration, 0u);
  EXPECT_TRUE(this->received.empty()) << "nothing is delivered inside the registration";
  TypeParam::post(*this->source, kIOMessageSystemWillSleep);
  TypeParam::runUntilDelivered();
  ASSERT_EQ(this->received.size(), 1u);
  EXPECT_EQ(this->received[0].messageType, kIOMessageSystemWillSleep);
  const intptr_t id = this->received[0].id;
  EXPECT_FALSE(this->source->allowPowerChange(registration + 1, id));
  EXPECT_TRUE(this->source->allowPowerChange(registration, id));
  EXPECT_FALSE(this->source->allowPowerChange(registration, id)) << "only once";

  TypeParam::post(*this->source, kIOMessageSystemHasPoweredOn);
  TypeParam::runUntilDelivered();
  ASSERT_EQ(this->received.size(), 2u);
  EXPECT_EQ(this->received[1].messageType, kIOMessageSystemHasPoweredOn);
  EXPECT_FALSE(this->source->allowPowerChange(registration, this->received[1].id))
      << "a has-powered-on needs no answer";
  this->source->deregister(registration);
}

TYPED_TEST_P(PowerSourceContract, NothingArrivesAfterDeregistration) {
  const uint32_t registration = this->source->registerForSystemPower(this->recorder());
  ASSERT_NE(registration, 0u);
  TypeParam::post(*this->source, kIOMessageSystemWillSleep);
  TypeParam::runUntilDelivered();
  ASSERT_EQ(this->received.size(), 1u);
  this->source->deregister(registration);
  this->source->deregister(registration);  // harmless
  EXPECT_FALSE(this->source->allowPowerChange(registration, this->received[0].id));
  this->received.clear();
  TypeParam::post(*this->source, kIOMessageSystemHasPoweredOn);
  TypeParam::runUntilDelivered();
  EXPECT_TRUE(this->received.empty());
}

REGISTER_TYPED_TEST_SUITE_P(PowerSourceContract,
                            AWillSleepIsAcknowledgedExactlyOnceAHasPoweredOnNever,
                            NothingArrivesAfterDeregistration);
