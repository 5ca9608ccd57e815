; pixwall-setup.exe: installs the filter module, the component and the manager program into one
; folder, writes "corvane.ini" and the install_dir value, registers the component, and adds a
; Start menu shortcut and an entry in Programs and Features. The uninstaller takes the filter
; out of every web site before it removes anything.
;
; Built by CMake (target "installer") with these definitions:
;   OUTFILE       the setup program to write
;   PIXWALL_DLL, TALISCOM_DLL, CORVANE_EXE   the Windows binaries
;   FILES_DIR     the shipped settings file and rule lists
;   VERSION       the product version
;   CORVANE_ICON  the icon of the setup program and the uninstaller

; The 64-bit stub: the binaries are x64, and so must be the process that registers them.
Target amd64-unicode
SetCompressor /SOLID lzma

!include LogicLib.nsh
!include FileFunc.nsh
!include MUI2.nsh

!define PRODUCT "Pixwall"
!define INSTALL_KEY "Software\orlentek\pixwall"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Pixwall"
!define CLASS_KEY "CLSID\{9E5D60B0-96C5-4B84-A89D-F132BCEBDC87}"
!define IIS_KEY "SYSTEM\CurrentControlSet\Services\W3SVC\Parameters"
!define MENU_FOLDER "$SMPROGRAMS\Pixwall"
!define ERROR_ELEVATION_REQUIRED 740

Name "${PRODUCT} ${VERSION}"
Caption "${PRODUCT} ${VERSION} Setup"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\OrlenTek\Pixwall"
; An upgrade offers the folder of the installation it replaces.
InstallDirRegKey HKLM "${INSTALL_KEY}" "install_dir"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

!define MUI_ICON "${CORVANE_ICON}"
!define MUI_UNICON "${CORVANE_ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_TITLE "Pixwall is installed"
!define MUI_FINISHPAGE_TEXT "To protect a web site, start Corvane from the Start menu (Pixwall), \
check the site and press OK, then restart IIS.$\r$\n$\r$\nThe settings (pixwall.ini) and the rule \
lists lie in the install folder; edits take effect without a restart."
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The settings file and the nine rule lists, each given to ACTION by file name.
!macro ForEachConfigFile ACTION
  !insertmacro ${ACTION} "pixwall.ini"
  !insertmacro ${ACTION} "blocked_types.txt"
  !insertmacro ${ACTION} "referrer_whitelist.txt"
  !insertmacro ${ACTION} "referrer_blacklist.txt"
  !insertmacro ${ACTION} "client_whitelist.txt"
  !insertmacro ${ACTION} "client_blacklist.txt"
  !insertmacro ${ACTION} "ua_whitelist.txt"
  !insertmacro ${ACTION} "ua_blacklist.txt"
  !insertmacro ${ACTION} "url_whitelist.txt"
  !insertmacro ${ACTION} "url_blacklist.txt"
!macroend

!macro ShipFile NAME
  File "${FILES_DIR}/${NAME}"
!macroend

!macro RemoveUnchangedFile NAME
  Push "${NAME}"
  Call un.RemoveIfUnchanged
!macroend

; Both programs stop at once for anyone but an administrator: they write below
; HKEY_LOCAL_MACHINE, register a COM class and change Program Files.
!macro RequireAdministrator
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "You are not logged on as a member of the administrators group.$\r$\n\
Setting up Pixwall requires administrator privileges.$\r$\nPlease log on as an administrator and try again." /SD IDOK
    SetErrorLevel ${ERROR_ELEVATION_REQUIRED}
    Quit
  ${EndIf}
  SetRegView 64
  SetShellVarContext all
!macroend

Function .onInit
  !insertmacro RequireAdministrator
FunctionEnd

Function un.onInit
  !insertmacro RequireAdministrator
FunctionEnd

Section "Pixwall" SectionMain
  SectionIn RO
  SetOutPath "$INSTDIR"

  ; Programs are replaced on an upgrade (stop IIS first if it has the filter loaded).
  SetOverwrite on
  File "/oname=pixwall.dll" "${PIXWALL_DLL}"
  File "/oname=taliscom.dll" "${TALISCOM_DLL}"
  File "/oname=corvane.exe" "${CORVANE_EXE}"

  ; The administrator's settings and lists are not: an upgrade keeps them as they are.
  SetOverwrite off
  !insertmacro ForEachConfigFile ShipFile
  SetOverwrite on
  CreateDirectory "$INSTDIR\LogFiles"

  ; corvane.ini: which filter the manager puts into IIS. A description the administrator chose
  ; survives an upgrade; the name and path are always this installation's.
  ${IfNot} ${FileExists} "$INSTDIR\corvane.ini"
    FileOpen $0 "$INSTDIR\corvane.ini" w
    FileWrite $0 "; Written by the Pixwall setup program. Corvane reads it from its working folder:$\r$\n"
    FileWrite $0 "; filtername is the filter's name in IIS, filterpath the module it installs,$\r$\n"
    FileWrite $0 "; filterdesc the text in Corvane's window title.$\r$\n"
    FileClose $0
  ${EndIf}
  WriteINIStr "$INSTDIR\corvane.ini" "settings" "filtername" "pixwall"
  WriteINIStr "$INSTDIR\corvane.ini" "settings" "filterpath" "$INSTDIR\pixwall.dll"
  ReadINIStr $0 "$INSTDIR\corvane.ini" "settings" "filterdesc"
  ${If} $0 == ""
    WriteINIStr "$INSTDIR\corvane.ini" "settings" "filterdesc" "Pixwall hot-link protection"
  ${EndIf}

  ; The filter and the component find "corvane.ini" through this value.
  WriteRegStr HKLM "${INSTALL_KEY}" "install_dir" "$INSTDIR"

  ClearErrors
  RegDLL "$INSTDIR\taliscom.dll"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "The component taliscom.dll could not be registered.$\r$\n\
Corvane cannot run without it. Please run the setup program again." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}

  ; Corvane needs its install folder as working folder: the shortcut's is the output folder.
  SetOutPath "$INSTDIR"
  CreateDirectory "${MENU_FOLDER}"
  CreateShortCut "${MENU_FOLDER}\Corvane.lnk" "$INSTDIR\corvane.exe" "" "$INSTDIR\corvane.exe" 0 \
    SW_SHOWNORMAL "" "Install or remove the Pixwall filter at the IIS web sites"

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Pixwall hot-link protection for IIS"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "OrlenTek"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\corvane.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

; Deletes $INSTDIR\NAME (on the stack) when it still holds exactly the shipped text, which the
; uninstaller has laid out in $PLUGINSDIR: a list the administrator edited stays.
Function un.RemoveIfUnchanged
  Exch $0
  Push $1
  Push $2
  Push $3
  Push $4
  Push $5
  StrCpy $5 "changed"
  ClearErrors
  FileOpen $1 "$INSTDIR\$0" r
  ${IfNot} ${Errors}
    FileOpen $2 "$PLUGINSDIR\$0" r
    ${Do}
      ClearErrors
      FileReadByte $1 $3
      ${If} ${Errors}
        StrCpy $3 "end"
      ${EndIf}
      ClearErrors
      FileReadByte $2 $4
      ${If} ${Errors}
        StrCpy $4 "end"
      ${EndIf}
      ${If} $3 != $4
        ${Break}
      ${EndIf}
      ${If} $3 == "end"
        StrCpy $5 "same"
        ${Break}
      ${EndIf}
    ${Loop}
    FileClose $2
    FileClose $1
    ${If} $5 == "same"
      Delete "$INSTDIR\$0"
    ${Else}
      DetailPrint "Kept $INSTDIR\$0 (changed since it was installed)"
    ${EndIf}
  ${EndIf}
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

Section "Uninstall"
  ; First the filter leaves every web site, so that no site keeps loading a file that is about
  ; to vanish. Corvane checks for IIS and for the component and would stop with a message box,
  ; which nobody answers in an unattended removal; without either there is nothing it can clear.
  ReadRegDWORD $0 HKLM "${IIS_KEY}" "MajorVersion"
  ReadRegStr $1 HKCR "${CLASS_KEY}\InprocServer32" ""
  ${If} $0 U> 3
  ${AndIf} $1 != ""
  ${AndIf} ${FileExists} "$INSTDIR\corvane.exe"
  ${AndIf} ${FileExists} "$INSTDIR\corvane.ini"
    SetOutPath "$INSTDIR"
    DetailPrint "Removing the filter from every web site"
    ExecWait '"$INSTDIR\corvane.exe" /clear'
  ${EndIf}
  ; Out of the folder, so that it can be removed.
  SetOutPath "$TEMP"

  UnRegDLL "$INSTDIR\taliscom.dll"
  Delete "$INSTDIR\pixwall.dll"
  Delete "$INSTDIR\taliscom.dll"
  Delete "$INSTDIR\corvane.exe"
  Delete "$INSTDIR\corvane.ini"

  InitPluginsDir
  SetOutPath "$PLUGINSDIR"
  !insertmacro ForEachConfigFile ShipFile
  SetOutPath "$TEMP"
  !insertmacro ForEachConfigFile RemoveUnchangedFile

  ; Only when empty: the logs stay.
  RMDir "$INSTDIR\LogFiles"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  Delete "${MENU_FOLDER}\Corvane.lnk"
  RMDir "${MENU_FOLDER}"

  DeleteRegValue HKLM "${INSTALL_KEY}" "install_dir"
  DeleteRegKey /ifempty HKLM "${INSTALL_KEY}"
  DeleteRegKey /ifempty HKLM "Software\orlentek"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
