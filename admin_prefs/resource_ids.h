/* Resource identifiers of the server executable, shared by its resource scripts
   (admin_prefs.rc, version.rc) and the C++ that names them. Plain macros with
   no includes, so that windres reads this file as well as the compiler. */
#pragma once

/* The type library made from admin_prefs.idl; LoadTypeLib on the executable's
   path loads TYPELIB 1. */
#define VU_IDR_TYPELIB 1

/* The registry scripts (resource type "REGISTRY") that the registration runs. */
#define VU_IDR_APPID_SCRIPT 101
#define VU_IDR_CLASS_SCRIPT 102

/* The manifest the loader reads from an executable
   (CREATEPROCESS_MANIFEST_RESOURCE_ID). */
#define VU_IDR_MANIFEST 1

/* The version information (VS_VERSION_INFO). */
#define VU_IDR_VERSION 1

/* The icon of the elevation prompt, named by the class registration's
   IconReference ("@<executable>,-3000"). The program's own icon is the icon group
   named "IDI_APP" (a name, not a number): named groups come before numbered ones,
   so it is the one the shell shows. */
#define VU_IDI_ELEVATION 3000

/* The class's display name, a string of the resource module (cires.dll), not of
   this executable: the registration's LocalizedString ("@<cires.dll>,-5323"). */
#define VU_IDS_CLASS_NAME 5323

/* An identifier as a narrow string literal ("3000"), for texts that name it. */
#define VU_RESOURCE_ID_TEXT(id) VU_RESOURCE_ID_TEXT_(id)
#define VU_RESOURCE_ID_TEXT_(id) #id
