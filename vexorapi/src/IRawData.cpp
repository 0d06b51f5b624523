#include "IRawData.h"

IRawData::IRawData(RawDataElement *prototype_) : prototype(prototype_) {}

IRawData::~IRawData() = default;
