@echo off
rem Stereo on with reversed eyes while a game runs, off again when it ends.
lumosend stereo-reverse
start /wait game.exe
lumosend stereo-off
