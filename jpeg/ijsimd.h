// ijsimd.h - the forward DCT with quantisation on vectors of eight 16-bit
// lanes per block, for the SSE2 and AVX2 code of ijetrans.cpp.  Each of
// the two defines the operations below for its own vector types and then
// includes this file inside its anonymous namespace, so each gets its own
// copy, compiled for its own instruction set.
//
// The steps are those of the portable DctQuant, in the same order and with
// the same rounding, so the results are equal bit for bit.  Its 32-bit
// intermediates fit 16 bits for inputs of -128 ... 128 (what the colour
// conversion and the level shift give): the row pass stays below 1300 and
// the column pass below 13000 in magnitude.  The products of the odd part
// are regrouped by constant, z3 + z4 = 2896 o11 + 3785 o12 + 1567 o10 and
// z2 = 3784 o10 - 1567 o12, which is exact in integers, and summed in 32
// bits (madd) before their one rounding shift.
//
// Operations a unit provides for V: Add16, Sub16, Unpack{lo,hi}{16,32,64},
// Madd, Add32, Sub32, Srai12, Packs32, Set16, Set32, MulC4 ((x * 2896 +
// 2048) >> 12) and Quant ((y * r + 0x4000) >> 15, r unsigned).

// An 8 x 8 transpose of 16-bit lanes (within each 128-bit half).
template <class V> __attribute__((always_inline)) inline void Transpose8(V r[8]) {
  const V a0 = Unpacklo16(r[0], r[1]), a1 = Unpackhi16(r[0], r[1]);
  const V a2 = Unpacklo16(r[2], r[3]), a3 = Unpackhi16(r[2], r[3]);
  const V a4 = Unpacklo16(r[4], r[5]), a5 = Unpackhi16(r[4], r[5]);
  const V a6 = Unpacklo16(r[6], r[7]), a7 = Unpackhi16(r[6], r[7]);
  const V b0 = Unpacklo32(a0, a2), b1 = Unpackhi32(a0, a2);
  const V b2 = Unpacklo32(a1, a3), b3 = Unpackhi32(a1, a3);
  const V b4 = Unpacklo32(a4, a6), b5 = Unpackhi32(a4, a6);
  const V b6 = Unpacklo32(a5, a7), b7 = Unpackhi32(a5, a7);
  r[0] = Unpacklo64(b0, b4);
  r[1] = Unpackhi64(b0, b4);
  r[2] = Unpacklo64(b1, b5);
  r[3] = Unpackhi64(b1, b5);
  r[4] = Unpacklo64(b2, b6);
  r[5] = Unpackhi64(b2, b6);
  r[6] = Unpacklo64(b3, b7);
  r[7] = Unpackhi64(b3, b7);
}

// One 1-D pass over x[0] ... x[7] (sample k of every line in x[k]); the
// outputs replace them.
template <class V> __attribute__((always_inline)) inline void Pass(V x[8]) {
  const V t0 = Add16(x[0], x[7]), t7 = Sub16(x[0], x[7]);
  const V t1 = Add16(x[1], x[6]), t6 = Sub16(x[1], x[6]);
  const V t2 = Add16(x[2], x[5]), t5 = Sub16(x[2], x[5]);
  const V t3 = Add16(x[3], x[4]), t4 = Sub16(x[3], x[4]);

  const V e10 = Add16(t0, t3), e13 = Sub16(t0, t3);
  const V e11 = Add16(t1, t2), e12 = Sub16(t1, t2);
  x[0] = Add16(e10, e11);
  x[4] = Sub16(e10, e11);
  const V z1 = MulC4(Add16(e12, e13));
  x[2] = Add16(e13, z1);
  x[6] = Sub16(e13, z1);

  const V o10 = Add16(t4, t5), o11 = Add16(t5, t6), o12 = Add16(t6, t7);
  const V kB = Set32(1567, 3785), kC = Set32(3784, -1567), kA = Set32(2896, 2048);
  const V one = Set16(1);
  V s1[2], s7[2], s5[2], s3[2];
  for (int h = 0; h < 2; ++h) {
    const V p = h ? Unpackhi16(o10, o12) : Unpacklo16(o10, o12);
    const V q = h ? Unpackhi16(o11, one) : Unpacklo16(o11, one);
    const V b = Madd(p, kB); // z4
    const V c = Madd(p, kC); // z2
    const V a = Madd(q, kA); // z3 + 2048
    s1[h] = Srai12(Add32(a, b));
    s7[h] = Srai12(Sub32(a, b));
    s5[h] = Srai12(Sub32(a, c));
    s3[h] = Srai12(Add32(a, c));
  }
  x[1] = Add16(t7, Packs32(s1[0], s1[1]));
  x[7] = Add16(t7, Packs32(s7[0], s7[1]));
  x[5] = Sub16(t7, Packs32(s5[0], s5[1]));
  x[3] = Sub16(t7, Packs32(s3[0], s3[1]));
}

// Rows of a block in, quantised rows out (natural order).  rt[u] holds the
// reciprocals of output row u: lane j is recip[j * 8 + u].
template <class V> __attribute__((always_inline)) inline void DctQuantRows(V r[8], const V rt[8]) {
  Transpose8(r);
  Pass(r);
  Transpose8(r);
  Pass(r);
  for (int u = 0; u < 8; ++u) r[u] = Quant(r[u], rt[u]);
}
