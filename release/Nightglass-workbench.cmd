@echo off
rem The Nightglass workbench: shows in your browser what Nightglass draws with your game folder's
rem settings, and follows Nightglass.ini each time you save it. Double-click this file; close its
rem window (or press Ctrl-C in it) to end the workbench.
setlocal
set "here=%~dp0"
rem The game folder: the folder above this one when it holds a Nightglass.ini (in it, in plugins\
rem or in scripts\), as when this archive was unpacked into a folder of its own in the game
rem folder; otherwise this folder, the archive unpacked straight into the game folder.
set "game=%here%."
for %%f in ("%here%..\Nightglass.ini" "%here%..\plugins\Nightglass.ini" "%here%..\scripts\Nightglass.ini") do (
  if exist "%%~f" set "game=%here%.."
)
"%here%tools\nightglass-preview.exe" --serve --settings "%game%" %*
rem Keeps the window open after a failure, so that its message can be read.
if errorlevel 1 pause
