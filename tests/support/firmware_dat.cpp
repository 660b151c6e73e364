#include "firmware_dat.h"

static void Put32(std::string &s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + size_t(i)] = char(v >> (8 * i));
}

std::string FirmwareDat(const std::vector<ModelRecord> &models, uint32_t magic, uint32_t word2) {
  std::string s(20 + models.size() * 348 + 16, '\0');
  Put32(s, 0, magic);
  Put32(s, 4, 1);
  Put32(s, 8, word2);
  Put32(s, 12, uint32_t(models.size()));
  for (size_t i = 0; i < models.size(); ++i) {
    const size_t r = 20 + i * 348;
    s[r] = char(models[i].systemId);
    s[r + 1] = char(models[i].systemId >> 8);
    for (size_t j = 2; j < 320; ++j) s[r + j] = char('A' + j % 26); // a model name and the rest
    Put32(s, r + 320, models[i].remoteType);
  }
  return s;
}
