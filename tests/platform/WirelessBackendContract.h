// What every WirelessBackend promises, as a typed test suite. A backend's tests
// instantiate it with a traits type:
//
//   struct MyTraits {
//     static std::shared_ptr<WirelessBackend> make();  // a machine with an interface
//     static std::string presentInterface();           // its BSD name
//     static void makeRequestsFail(WirelessBackend&);  // the next power requests fail
//   };
//   INSTANTIATE_TYPED_TEST_SUITE_P(My, WirelessBackendContract, ::testing::Types<MyTraits>);
#pragma once

#include <gtest/gtest.h>

#include "platform/corewlan/WirelessBackend.h"

template <class Traits>
class WirelessBackendContract : public ::testing::Test {
 protected:
  std::shared_ptr<WirelessBackend> backend = Traits::make();
  std::string name = Traits::presentInterface();
};

TYPED_TEST_SUITE_P(WirelessBackendContract);

TYPED_TEST_P(WirelessBackendContract, SwitchingIsReadBack) {
  ASSERT_TRUE(this->backend->hasInterface(this->name));
  for (bool on : {false, false, true, true}) {
    std::shared_ptr<NSError> error;
    EXPECT_TRUE(this->backend->setRadioPower(this->name, on, &error));
    EXPECT_EQ(error, nullptr);
    EXPECT_EQ(this->backend->radioPower(this->name), on);
  }
}

TYPED_TEST_P(WirelessBackendContract, AMissingInterfaceReadsOffAndFailsWithAnError) {
  const std::string missing = "no-such-interface0";
  EXPECT_FALSE(this->backend->hasInterface(missing));
  EXPECT_FALSE(this->backend->radioPower(missing));
  std::shared_ptr<NSError> error;
  EXPECT_FALSE(this->backend->setRadioPower(missing, true, &error));
  ASSERT_NE(error, nullptr);
  EXPECT_GT(error->description().length(), 0u);
  EXPECT_FALSE(this->backend->setRadioPower(missing, true, nullptr)) << "no error slot is fine";
}

TYPED_TEST_P(WirelessBackendContract, AFailedRequestSaysWhyAndChangesNothing) {
  std::shared_ptr<NSError> error;
  ASSERT_TRUE(this->backend->setRadioPower(this->name, true, &error));
  TypeParam::makeRequestsFail(*this->backend);
  EXPECT_FALSE(this->backend->setRadioPower(this->name, false, &error));
  ASSERT_NE(error, nullptr);
  EXPECT_TRUE(this->backend->radioPower(this->name));
}

REGISTER_TYPED_TEST_SUITE_P(WirelessBackendContract, SwitchingIsReadBack,
                            AMissingInterfaceReadsOffAndFailsWithAnError,
                            AFailedRequestSaysWhyAndChangesNothing);
