#include "shell/registration_scripts.h"

namespace tavirelle {

// The registrar scripts of the module, kept as text as they are shipped.

const char kAppIdScript[] = R"(HKCR
{
	NoRemove AppID
	{
		'%APPID%' = s 'TavirelleHelper'
		'TavirelleHelper.DLL'
		{
			val AppID = s '%APPID%'
		}
	}
}
)";

// The script of every class, filled in for each with CLASSNAME ("QXHelper"),
// DESCRIPTION ("QXHelper Class") and CLSID (braced).
const char kClassScript[] = R"(HKCR
{
	TavirelleHelper.%CLASSNAME%.1 = s '%DESCRIPTION%'
	{
		CLSID = s '%CLSID%'
	}
	TavirelleHelper.%CLASSNAME% = s '%DESCRIPTION%'
	{
		CLSID = s '%CLSID%'
		CurVer = s 'TavirelleHelper.%CLASSNAME%.1'
	}
	NoRemove CLSID
	{
		ForceRemove %CLSID% = s '%DESCRIPTION%'
		{
			ProgID = s 'TavirelleHelper.%CLASSNAME%.1'
			VersionIndependentProgID = s 'TavirelleHelper.%CLASSNAME%'
			ForceRemove 'Programmable'
			InprocServer32 = s '%MODULE%'
			{
				val ThreadingModel = s 'Apartment'
			}
			'TypeLib' = s '%LIBID%'
		}
	}
}
)";

// What registering the type library writes: the library under TypeLib, and
// each of its interfaces under Interface, marshalled from the library.
const char kTypeLibraryScript[] = R"(HKCR
{
	NoRemove TypeLib
	{
		ForceRemove %LIBID%
		{
			1.0 = s 'TavirelleHelper 1.0 Type Library'
			{
				0
				{
					win64 = s '%MODULE%'
				}
				FLAGS = s '0'
				HELPDIR = s '%MODULEDIR%'
			}
		}
	}
	NoRemove Interface
	{
		ForceRemove {371D6E25-5EDB-4CCE-8585-7D1B7C2C073C} = s 'IQXHelper'
		{
			ProxyStubClsid = s '{00020424-0000-0000-C000-000000000046}'
			ProxyStubClsid32 = s '{00020424-0000-0000-C000-000000000046}'
			TypeLib = s '%LIBID%'
			{
				val Version = s '1.0'
			}
		}
		ForceRemove {17B023A8-FD63-4F4A-8C92-9AFE769DB1EE} = s 'IPhotoDesc'
		{
			ProxyStubClsid = s '{00020424-0000-0000-C000-000000000046}'
			ProxyStubClsid32 = s '{00020424-0000-0000-C000-000000000046}'
			TypeLib = s '%LIBID%'
			{
				val Version = s '1.0'
			}
		}
		ForceRemove {2B706627-7911-4834-AB44-05D72919F23E} = s 'IClip'
		{
			ProxyStubClsid = s '{00020424-0000-0000-C000-000000000046}'
			ProxyStubClsid32 = s '{00020424-0000-0000-C000-000000000046}'
			TypeLib = s '%LIBID%'
			{
				val Version = s '1.0'
			}
		}
		ForceRemove {F2578DE2-8033-47EC-8FEC-EFEC5A5F9308} = s 'IQXFileIO'
		{
			ProxyStubClsid = s '{00020424-0000-0000-C000-000000000046}'
			ProxyStubClsid32 = s '{00020424-0000-0000-C000-000000000046}'
			TypeLib = s '%LIBID%'
			{
				val Version = s '1.0'
			}
		}
		ForceRemove {17376810-08EB-4D2A-AD78-CDCEA2EE8C27} = s '_IQXHelperEvents'
		{
			ProxyStubClsid = s '{00020420-0000-0000-C000-000000000046}'
			ProxyStubClsid32 = s '{00020420-0000-0000-C000-000000000046}'
			TypeLib = s '%LIBID%'
			{
				val Version = s '1.0'
			}
		}
	}
}
)";

}  // namespace tavirelle
