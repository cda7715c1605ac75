#include "shading/HitRecord.h"

void InitHitRecord(HitRecord& record) { record = HitRecord{}; }

int CompareHitDepth(const void* first, const void* second) {
  const double a = static_cast<const HitRecord*>(first)->depth;
  const double b = static_cast<const HitRecord*>(second)->depth;
  return a > b ? 1 : (a == b ? 0 : -1);
}
