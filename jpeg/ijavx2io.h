// ijavx2io.h - unaligned loads and stores of one 128-bit block (V1) or of
// two blocks from two places (V2) for the AVX2 code.  A unit includes it
// inside its AVX2 region and anonymous namespace, after defining V1 and V2,
// so that each unit gets its own copy compiled for AVX2.

inline V1 Load1(const void *p) {
  return _mm_loadu_si128(static_cast<const V1 *>(p));
}
inline V2 Load2(const void *lo, const void *hi) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(Load1(lo)), Load1(hi), 1);
}
inline void Store1(void *p, V1 v) {
  _mm_storeu_si128(static_cast<V1 *>(p), v);
}
inline void Store2(void *lo, void *hi, V2 v) {
  Store1(lo, _mm256_castsi256_si128(v));
  Store1(hi, _mm256_extracti128_si256(v, 1));
}
