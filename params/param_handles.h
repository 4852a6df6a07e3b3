// The instance's parameter handles, expanded from the catalogue so that a
// handle can never be declared or fetched under a name the describe code
// does not define.
//
//   KALTHORNE_PARAM_HANDLES(X)  calls X(Type, Name) for each of the 532
//   parameters that hold a value, in definition order. Type is DoubleParam,
//   IntParam, BooleanParam or ChoiceParam (the OFX handle class and, with
//   "fetch" in front, the ParamSet fetch call); Name is the parameter name.
//   The two push buttons hold no value and get no handle.
//
//   KALTHORNE_PARAM_KEY(Name)   the string key the host stores Name under.
//
// Typical use in the instance:
//   #define DECLARE(Type, Name) OFX::Type* m_##Name = nullptr;
//   KALTHORNE_PARAM_HANDLES(DECLARE)
//   #define FETCH(Type, Name) m_##Name = fetch##Type(KALTHORNE_PARAM_KEY(Name));
//   KALTHORNE_PARAM_HANDLES(FETCH)
#pragma once

#include "param_table.h"

#define KALTHORNE_PARAM_KEY(Name) #Name

#define KALTHORNE_PARAM_HANDLES(X) KALTHORNE_PARAM_TABLE(KP_HANDLE_ROW, X)

#define KALTHORNE_PARAM_HANDLE_COUNT 532

#define KP_HANDLE_ROW(X, Kind, Name, Label, Hint, Default, Low, High, Attr) \
  KP_HANDLE_##Kind(X, Name)
#define KP_HANDLE_Double(X, Name) X(DoubleParam, Name)
#define KP_HANDLE_Int(X, Name) X(IntParam, Name)
#define KP_HANDLE_Boolean(X, Name) X(BooleanParam, Name)
#define KP_HANDLE_Choice(X, Name) X(ChoiceParam, Name)
#define KP_HANDLE_PushButton(X, Name)
