// Writes hand-built AC-3 frames for the tests: a bit writer and a frame
// whose every block field can be set, so that each check can be made to fail.
#pragma once

#include <cstdint>
#include <vector>

class BitWriter {
 public:
  void Put(uint32_t value, int bits) {
    for (int b = bits - 1; b >= 0; --b) {
      if (used_ % 8 == 0) bytes_.push_back(0);
      if (value >> b & 1) bytes_.back() = static_cast<uint8_t>(bytes_.back() | (0x80 >> (used_ % 8)));
      ++used_;
    }
  }
  size_t bits() const { return used_; }
  // The frame data padded with zero bytes (or 0xFF fill) to length bytes.
  std::vector<uint8_t> Bytes(size_t length, uint8_t fill = 0) const {
    std::vector<uint8_t> out = bytes_;
    if (out.size() < length) out.resize(length, fill);
    return out;
  }

 private:
  std::vector<uint8_t> bytes_;
  size_t used_ = 0;
};

// Side information of one block. Defaults: everything reused (valid in
// blocks 1..5).
struct BlockFields {
  int blksw = 0, dithflag = 0;
  int dynrng = -1;            // -1: not sent
  int cplstre = 0, cplinu = 0, cplbegf = 0, cplendf = 0;
  int cplcoe = 1;
  int rematstr = 0;
  int cplexpstr = 0, chexpstr = 0, chbwcod = 20, lfeexpstr = 0;
  int expGroup = 62;          // every exponent group code (62 = no change)
  int absexp = 10;
  int baie = 0, snroffste = 0, csnroffst = 0, fsnroffst = 0;
  int cplleake = 1;
  int deltbaie = 0, cpldeltbae = 2, deltbae = 2;
  int deltnseg = 0, deltoffst = 0, deltlen = 0, deltba = 0;
};

// Writes BSI and six blocks for acmod / lfeon; mantissa bits (when baps are
// not 0) follow from whatever the fill gives.
inline std::vector<uint8_t> BuildFrame(int acmod, int lfeon, const BlockFields (&blocks)[6], size_t length = 762,
                                       uint8_t fill = 0) {
  static const int NF[8] = {2, 1, 2, 3, 3, 4, 4, 5};
  const int nf = NF[acmod];
  BitWriter w;
  w.Put(8, 5);  // bsid
  w.Put(0, 3);  // bsmod
  w.Put(acmod, 3);
  if ((acmod & 1) && acmod != 1) w.Put(0, 2);
  if (acmod & 4) w.Put(0, 2);
  if (acmod == 2) w.Put(0, 2);
  w.Put(lfeon, 1);
  for (int i = 0; i < (acmod == 0 ? 2 : 1); ++i) {
    w.Put(27, 5);  // dialnorm
    w.Put(0, 3);   // compre, langcode, audprodie
  }
  w.Put(0, 2);  // copyrightb, origbs
  w.Put(0, 3);  // timecod1e, timecod2e, addbsie
  int cplinu = 0, ncplbnd = 0, cplbegf = 0, cplendf = 0;
  for (int blk = 0; blk < 6; ++blk) {
    const BlockFields& b = blocks[blk];
    for (int ch = 0; ch < nf; ++ch) w.Put(b.blksw, 1);
    for (int ch = 0; ch < nf; ++ch) w.Put(b.dithflag, 1);
    w.Put(b.dynrng >= 0, 1);
    if (b.dynrng >= 0) w.Put(b.dynrng, 8);
    if (acmod == 0) w.Put(0, 1);
    w.Put(b.cplstre, 1);
    if (b.cplstre) {
      w.Put(b.cplinu, 1);
      cplinu = b.cplinu;
      if (b.cplinu) {
        for (int ch = 0; ch < nf; ++ch) w.Put(1, 1);  // every channel coupled
        if (acmod == 2) w.Put(0, 1);                   // phsflginu
        w.Put(b.cplbegf, 4);
        w.Put(b.cplendf, 4);
        cplbegf = b.cplbegf;
        cplendf = b.cplendf;
        ncplbnd = 3 + b.cplendf - b.cplbegf;
        for (int s = 1; s < ncplbnd; ++s) w.Put(0, 1);
      }
    }
    if (cplinu) {
      for (int ch = 0; ch < nf; ++ch) {
        w.Put(b.cplcoe, 1);
        if (b.cplcoe) {
          w.Put(0, 2);
          for (int bnd = 0; bnd < ncplbnd; ++bnd) w.Put(0x44, 8);
        }
      }
    }
    if (acmod == 2) {
      w.Put(b.rematstr, 1);
      if (b.rematstr) {
        const int n = !cplinu ? 4 : cplbegf == 0 ? 2 : cplbegf <= 2 ? 3 : 4;
        w.Put(0, n);
      }
    }
    if (cplinu) w.Put(b.cplexpstr, 2);
    for (int ch = 0; ch < nf; ++ch) w.Put(b.chexpstr, 2);
    if (lfeon) w.Put(b.lfeexpstr, 1);
    int endmant = 73 + 3 * b.chbwcod;
    for (int ch = 0; ch < nf; ++ch)
      if (b.chexpstr && !cplinu) w.Put(b.chbwcod, 6);
    if (cplinu) endmant = 37 + 12 * cplbegf;
    if (cplinu && b.cplexpstr) {
      w.Put(b.absexp / 2, 4);
      const int groups = (12 * (cplendf - cplbegf + 3)) / (3 << (b.cplexpstr - 1));
      for (int g = 0; g < groups; ++g) w.Put(b.expGroup, 7);
    }
    if (b.chexpstr) {
      const int size = 3 << (b.chexpstr - 1);
      const int groups = (endmant + size - 4) / size;
      for (int ch = 0; ch < nf; ++ch) {
        w.Put(b.absexp, 4);
        for (int g = 0; g < groups; ++g) w.Put(b.expGroup, 7);
        w.Put(0, 2);
      }
    }
    if (lfeon && b.lfeexpstr) {
      w.Put(b.absexp, 4);
      w.Put(b.expGroup, 7);
      w.Put(b.expGroup, 7);
    }
    w.Put(b.baie, 1);
    if (b.baie) w.Put(0b10'01'10'01'100, 11);  // sdcycod 2, fdcycod 1, sgaincod 2, dbpbcod 1, floorcod 4
    w.Put(b.snroffste, 1);
    if (b.snroffste) {
      w.Put(b.csnroffst, 6);
      if (cplinu) w.Put(b.fsnroffst << 3 | 4, 7);
      for (int ch = 0; ch < nf; ++ch) w.Put(b.fsnroffst << 3 | 4, 7);
      if (lfeon) w.Put(b.fsnroffst << 3 | 4, 7);
    }
    if (cplinu) {
      w.Put(b.cplleake, 1);
      if (b.cplleake) w.Put(0, 6);
    }
    w.Put(b.deltbaie, 1);
    if (b.deltbaie) {
      if (cplinu) w.Put(b.cpldeltbae, 2);
      for (int ch = 0; ch < nf; ++ch) w.Put(b.deltbae, 2);
      auto segments = [&] {
        w.Put(b.deltnseg, 3);
        for (int s = 0; s <= b.deltnseg; ++s) {
          w.Put(b.deltoffst, 5);
          w.Put(b.deltlen, 4);
          w.Put(b.deltba, 3);
        }
      };
      if (cplinu && b.cpldeltbae == 1) segments();
      for (int ch = 0; ch < nf; ++ch)
        if (b.deltbae == 1) segments();
    }
    w.Put(0, 1);  // skiple
  }
  return w.Bytes(length, fill);
}

// A frame that is valid as it stands: block 0 sends everything, with all
// offsets 0 (every bap 0, so no mantissa bits), blocks 1..5 reuse.
inline void ValidBlocks(BlockFields (&blocks)[6], int acmod) {
  for (BlockFields& b : blocks) b = BlockFields{};
  BlockFields& b0 = blocks[0];
  b0.cplstre = 1;
  b0.rematstr = acmod == 2;
  b0.chexpstr = 1;
  b0.lfeexpstr = 1;
  b0.baie = 1;
  b0.snroffste = 1;
}
