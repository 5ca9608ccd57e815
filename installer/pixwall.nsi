; pixwall-setup.exe: installs the filter module, the component and the manager program into one
; folder, writes "corvane.ini" and the install_dir value, registers the component, and adds a
; Start menu shortcut and an entry in Programs and Features. The uninstaller takes the filter
; out of every web site before it removes anything.
;
; Built by CMake (target "installer") with these definitions:
;   OUTFILE       the setup program to write
;   PIXWALL_DLL_X64, TALISCOM_DLL_X64, CORVANE_EXE_X64   the x64 build's binaries
;   PIXWALL_DLL_X86, TALISCOM_DLL_X86, CORVANE_EXE_X86   the x86 build's binaries
;   FILES_DIR     the shipped settings file and rule lists
;   VERSION       the product version
;   CORVANE_ICON  the icon of the setup program and the uninstaller

;
; It installs the x86 build on 32-bit Windows; on 64-bit Windows the x64 build, or the x86 build
; with the option /X86 (also with /S), for sites whose IIS worker processes are 32-bit. Each build
; goes to its own Program Files folder and registry view, where its processes look.

; The 32-bit stub, which runs on both; the x64 component is registered by the 64-bit regsvr32.
Target x86-unicode
SetCompressor /SOLID lzma

!include LogicLib.nsh
!include FileFunc.nsh
!include MUI2.nsh
!include x64.nsh

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

; "x64" or "x86": the build this run installs or removes.
Var Build

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
  SetShellVarContext all
!macroend

; The registry view of the build: 32-bit processes read the 32-bit one.
!macro UseBuildsRegistryView
  ${If} $Build == "x64"
    SetRegView 64
  ${Else}
    SetRegView 32
  ${EndIf}
!macroend

Function .onInit
  !insertmacro RequireAdministrator
  StrCpy $Build "x86"
  ${If} ${RunningX64}
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/X86" $1
    ${If} ${Errors}
      StrCpy $Build "x64"
    ${EndIf}
  ${EndIf}
  !insertmacro UseBuildsRegistryView
  ; Unless /D named a folder: an upgrade of this build offers the folder of the installation it
  ; replaces, a new x86 installation the 32-bit Program Files.
  ${If} $INSTDIR == "$PROGRAMFILES64\OrlenTek\Pixwall"
    ReadRegStr $0 HKLM "${INSTALL_KEY}" "install_dir"
    ${If} $0 != ""
      StrCpy $INSTDIR $0
    ${ElseIf} $Build == "x86"
      StrCpy $INSTDIR "$PROGRAMFILES32\OrlenTek\Pixwall"
    ${EndIf}
  ${EndIf}
FunctionEnd

; The uninstaller removes the build whose Programs and Features entry names its folder.
Function un.onInit
  !insertmacro RequireAdministrator
  StrCpy $Build "x86"
  ${If} ${RunningX64}
    SetRegView 64
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == $INSTDIR
      StrCpy $Build "x64"
    ${EndIf}
  ${EndIf}
  !insertmacro UseBuildsRegistryView
FunctionEnd

; Registers (ACTION "") or unregisters (ACTION "/u ") the component; an x64 one needs the 64-bit
; regsvr32, which the 32-bit setup program reaches with the file system redirection off.
!macro RegisterComponent ACTION
  ${If} $Build == "x64"
    ${DisableX64FSRedirection}
    ExecWait '"$WINDIR\System32\regsvr32.exe" /s ${ACTION}"$INSTDIR\taliscom.dll"' $0
    ${EnableX64FSRedirection}
    ${If} $0 != 0
      SetErrors
    ${EndIf}
  ${ElseIf} "${ACTION}" == ""
    RegDLL "$INSTDIR\taliscom.dll"
  ${Else}
    UnRegDLL "$INSTDIR\taliscom.dll"
  ${EndIf}
!macroend

Section "Pixwall" SectionMain
  SectionIn RO
  SetOutPath "$INSTDIR"

  ; Programs are replaced on an upgrade (stop IIS first if it has the filter loaded).
  SetOverwrite on
  ${If} $Build == "x64"
    File "/oname=pixwall.dll" "${PIXWALL_DLL_X64}"
    File "/oname=taliscom.dll" "${TALISCOM_DLL_X64}"
    File "/oname=corvane.exe" "${CORVANE_EXE_X64}"
  ${Else}
    File "/oname=pixwall.dll" "${PIXWALL_DLL_X86}"
    File "/oname=taliscom.dll" "${TALISCOM_DLL_X86}"
    File "/oname=corvane.exe" "${CORVANE_EXE_X86}"
  ${EndIf}

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
  !insertmacro RegisterComponent ""
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

  !insertmacro RegisterComponent "/u "
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
