#include "shading/HitRecord.h"

void InitHitRecord(HitRecord& record) { record = HitRecord{}; }

int CompareHitDepth(const void* first, const void* second) {
  const double a = static_cast<const HitRecord*>(first)->depth;
  const double b = static_cast<const HitRecord*>(second)->depth;
  return a > b ? 1 : (a == b ? 0 : -1);
}

TK_2fPoint InterpolatedTextureCoordinate(const HitRecord& record) {
  const TK_2fPoint* t = record.texture_coordinates;
  return t[0] * record.weights.x + t[1] * record.weights.y + t[2] * record.weights.z;
}
