// An instance holds one handle for each of the 532 parameters that carry a
// value, fetched by exactly the names the description uses, and starts from
// the described defaults as exact doubles.
#include <memory>
#include <string>
#include <utility>

#include "catalogue_host.h"

using namespace cataloguetest;

TEST(CatalogueInstance, StartsAtTheExactDefaultsWithoutNatron) {
  auto inst = describedHost().createInstance(kOfxImageEffectContextFilter);
  ASSERT_EQ(inst->createStatus(), kOfxStatOK) << ofxtest::statusName(inst->createStatus());

  // Later stages switch off on exact values, so these must arrive unrounded.
  EXPECT_EQ(inst->value("PrintGammaRed"), 0.4);
  EXPECT_EQ(inst->value("BrewFilmicSlopeR"), 0.014);
  EXPECT_EQ(inst->value("PrintFilmicSlopeR"), 0.0);
  EXPECT_EQ(inst->value("PrintRefineTwo"), 1.0);
  EXPECT_EQ(inst->value("BrewCurveMidtoneRed"), -0.093);
  EXPECT_EQ(inst->value("NegCast"), 6504.0);
  EXPECT_EQ(inst->destroy(), kOfxStatOK);
}

// Withdrawing one parameter from the description must make instance creation
// fail exactly when the instance fetches a handle for it: every parameter
// but the two push buttons.
TEST(CatalogueInstance, FetchesEveryValueParameterByNameAndNoButton) {
  auto& params = describedIn(kOfxImageEffectContextFilter).paramSet.params;
  int tried = 0;
  std::string optional;
  for (std::size_t i = 0; i < params.size(); ++i) {
    if (params[i]->type == kOfxParamTypePage) continue;
    ++tried;
    std::unique_ptr<ofxtest::ParamObject> withdrawn = std::move(params[i]);
    params.erase(params.begin() + std::ptrdiff_t(i));
    if (describedHost().createInstance(kOfxImageEffectContextFilter)->createStatus() == kOfxStatOK)
      optional += "[" + withdrawn->name + "]";
    params.insert(params.begin() + std::ptrdiff_t(i), std::move(withdrawn));
  }
  EXPECT_EQ(tried, 534);
  EXPECT_EQ(optional, "[LoadLooks][About Brew]");  // the other 532 are fetched

  auto inst = describedHost().createInstance(kOfxImageEffectContextFilter);
  EXPECT_EQ(inst->createStatus(), kOfxStatOK) << "the description was not restored";
}
