#pragma once

#include <QVariant>

// Host objects and result records travel in the parameter and result maps as raw pointers
// stored in qlonglong variants. These two helpers are the only place that converts.

// A qlonglong variant holding `pointer` (null gives 0).
inline QVariant variantFromPointer(const void* pointer) {
  return QVariant(static_cast<qlonglong>(reinterpret_cast<quintptr>(pointer)));
}

// The pointer held by `value` after QVariant::toLongLong; an invalid variant, 0 or a value that
// does not convert gives null. Nothing can check that the address really holds a T.
template <class T>
T* pointerFromVariant(const QVariant& value) {
  return reinterpret_cast<T*>(static_cast<quintptr>(value.toLongLong()));
}
