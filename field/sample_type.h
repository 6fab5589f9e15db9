#pragma once

// The sample types a volume file may hold.
enum class SampleType { kUint8, kInt8, kUint16, kInt16, kUint32, kInt32, kFloat32, kFloat64 };
