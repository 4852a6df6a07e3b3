// The OpenFX structs and types whose layout is part of the binary interface
// between a host and the bundle, member by member in declaration order.
// S(struct) opens a struct, M(struct, member) adds its next member, T(type)
// names a typedef whose exact type must agree.
#pragma once

#define KALTHORNE_OFX_LAYOUTS(S, M, T)                                                                         \
  T(OfxStatus) T(OfxTime) T(OfxPropertySetHandle) T(OfxPluginEntryPoint) T(OfxImageEffectHandle)              \
  T(OfxImageClipHandle) T(OfxImageMemoryHandle) T(OfxParamHandle) T(OfxParamSetHandle) T(OfxMutexHandle)      \
  T(OfxThreadFunctionV1)                                                                                       \
  S(OfxHost) M(OfxHost, host) M(OfxHost, fetchSuite)                                                           \
  S(OfxPlugin) M(OfxPlugin, pluginApi) M(OfxPlugin, apiVersion) M(OfxPlugin, pluginIdentifier)                 \
  M(OfxPlugin, pluginVersionMajor) M(OfxPlugin, pluginVersionMinor) M(OfxPlugin, setHost)                      \
  M(OfxPlugin, mainEntry)                                                                                      \
  S(OfxRangeI) M(OfxRangeI, min) M(OfxRangeI, max)                                                             \
  S(OfxRangeD) M(OfxRangeD, min) M(OfxRangeD, max)                                                             \
  S(OfxPointI) M(OfxPointI, x) M(OfxPointI, y)                                                                 \
  S(OfxPointD) M(OfxPointD, x) M(OfxPointD, y)                                                                 \
  S(OfxRectI) M(OfxRectI, x1) M(OfxRectI, y1) M(OfxRectI, x2) M(OfxRectI, y2)                                  \
  S(OfxRectD) M(OfxRectD, x1) M(OfxRectD, y1) M(OfxRectD, x2) M(OfxRectD, y2)                                  \
  S(OfxPropertySuiteV1) M(OfxPropertySuiteV1, propSetPointer) M(OfxPropertySuiteV1, propSetString)             \
  M(OfxPropertySuiteV1, propSetDouble) M(OfxPropertySuiteV1, propSetInt) M(OfxPropertySuiteV1, propSetPointerN) \
  M(OfxPropertySuiteV1, propSetStringN) M(OfxPropertySuiteV1, propSetDoubleN)                                  \
  M(OfxPropertySuiteV1, propSetIntN) M(OfxPropertySuiteV1, propGetPointer) M(OfxPropertySuiteV1, propGetString) \
  M(OfxPropertySuiteV1, propGetDouble) M(OfxPropertySuiteV1, propGetInt) M(OfxPropertySuiteV1, propGetPointerN) \
  M(OfxPropertySuiteV1, propGetStringN) M(OfxPropertySuiteV1, propGetDoubleN)                                  \
  M(OfxPropertySuiteV1, propGetIntN) M(OfxPropertySuiteV1, propReset) M(OfxPropertySuiteV1, propGetDimension)  \
  S(OfxImageEffectSuiteV1) M(OfxImageEffectSuiteV1, getPropertySet) M(OfxImageEffectSuiteV1, getParamSet)      \
  M(OfxImageEffectSuiteV1, clipDefine) M(OfxImageEffectSuiteV1, clipGetHandle)                                 \
  M(OfxImageEffectSuiteV1, clipGetPropertySet) M(OfxImageEffectSuiteV1, clipGetImage)                          \
  M(OfxImageEffectSuiteV1, clipReleaseImage) M(OfxImageEffectSuiteV1, clipGetRegionOfDefinition)              \
  M(OfxImageEffectSuiteV1, abort) M(OfxImageEffectSuiteV1, imageMemoryAlloc)                                   \
  M(OfxImageEffectSuiteV1, imageMemoryFree) M(OfxImageEffectSuiteV1, imageMemoryLock)                          \
  M(OfxImageEffectSuiteV1, imageMemoryUnlock)                                                                  \
  S(OfxParameterSuiteV1) M(OfxParameterSuiteV1, paramDefine) M(OfxParameterSuiteV1, paramGetHandle)            \
  M(OfxParameterSuiteV1, paramSetGetPropertySet) M(OfxParameterSuiteV1, paramGetPropertySet)                   \
  M(OfxParameterSuiteV1, paramGetValue) M(OfxParameterSuiteV1, paramGetValueAtTime)                            \
  M(OfxParameterSuiteV1, paramGetDerivative) M(OfxParameterSuiteV1, paramGetIntegral)                          \
  M(OfxParameterSuiteV1, paramSetValue) M(OfxParameterSuiteV1, paramSetValueAtTime)                            \
  M(OfxParameterSuiteV1, paramGetNumKeys) M(OfxParameterSuiteV1, paramGetKeyTime)                              \
  M(OfxParameterSuiteV1, paramGetKeyIndex) M(OfxParameterSuiteV1, paramDeleteKey)                              \
  M(OfxParameterSuiteV1, paramDeleteAllKeys) M(OfxParameterSuiteV1, paramCopy)                                 \
  M(OfxParameterSuiteV1, paramEditBegin) M(OfxParameterSuiteV1, paramEditEnd)                                  \
  S(OfxMemorySuiteV1) M(OfxMemorySuiteV1, memoryAlloc) M(OfxMemorySuiteV1, memoryFree)                         \
  S(OfxMultiThreadSuiteV1) M(OfxMultiThreadSuiteV1, multiThread) M(OfxMultiThreadSuiteV1, multiThreadNumCPUs)  \
  M(OfxMultiThreadSuiteV1, multiThreadIndex) M(OfxMultiThreadSuiteV1, multiThreadIsSpawnedThread)              \
  M(OfxMultiThreadSuiteV1, mutexCreate) M(OfxMultiThreadSuiteV1, mutexDestroy)                                 \
  M(OfxMultiThreadSuiteV1, mutexLock) M(OfxMultiThreadSuiteV1, mutexUnLock) M(OfxMultiThreadSuiteV1, mutexTryLock) \
  S(OfxMessageSuiteV1) M(OfxMessageSuiteV1, message)                                                           \
  S(OfxMessageSuiteV2) M(OfxMessageSuiteV2, message) M(OfxMessageSuiteV2, setPersistentMessage)                \
  M(OfxMessageSuiteV2, clearPersistentMessage)
