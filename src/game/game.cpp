// STUB: being written.
#include "game/game.h"
std::uint8_t levelReloadRequested = 1;
Game::Game() {}
void Game::update() {}
void Game::updateLEVEL() {}
void Game::updateMEM() {}
void Game::updateREG() {}
void Game::markEditorLines() {}
void Game::handleINPUTandDRAW() {}
void Game::updateVM() {}
void Game::paceFrame() {}
bool Game::runPasses() const { return true; }
void Game::judgeRun() {}
void Game::setLEVEL(unsigned short) {}
void Game::Choose(const std::string&, const std::string&, const std::unordered_map<std::string, std::function<void()>>&) {}
void resetMachine() {}
std::string levelCodePath(unsigned) { return {}; }
std::string lastLevelPath() { return {}; }
void saveProgress(unsigned) {}
void startupChoice() {}
void loadLevelCode(unsigned) {}
std::uint64_t monotonicMicros() { return 0; }
void compileProgram() {}
