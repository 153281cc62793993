#include "shell/registration_scripts.h"

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

const char kQXHelperScript[] = R"(HKCR
{
	TavirelleHelper.QXHelper.1 = s 'QXHelper Class'
	{
		CLSID = s '{2080A7D9-1519-414A-A782-E5675D375030}'
	}
	TavirelleHelper.QXHelper = s 'QXHelper Class'
	{
		CLSID = s '{2080A7D9-1519-414A-A782-E5675D375030}'
		CurVer = s 'TavirelleHelper.QXHelper.1'
	}
	NoRemove CLSID
	{
		ForceRemove {2080A7D9-1519-414A-A782-E5675D375030} = s 'QXHelper Class'
		{
			ProgID = s 'TavirelleHelper.QXHelper.1'
			VersionIndependentProgID = s 'TavirelleHelper.QXHelper'
			ForceRemove 'Programmable'
			InprocServer32 = s '%MODULE%'
			{
				val ThreadingModel = s 'Apartment'
			}
			'TypeLib' = s '{5D30531A-0516-45F7-A3BA-0F8C505D28CB}'
		}
	}
}
)";

const char kPhotoDescScript[] = R"(HKCR
{
	TavirelleHelper.PhotoDesc.1 = s 'PhotoDesc Class'
	{
		CLSID = s '{1EF18494-8B5D-4512-8B0D-1A2A172E5D3E}'
	}
	TavirelleHelper.PhotoDesc = s 'PhotoDesc Class'
	{
		CLSID = s '{1EF18494-8B5D-4512-8B0D-1A2A172E5D3E}'
		CurVer = s 'TavirelleHelper.PhotoDesc.1'
	}
	NoRemove CLSID
	{
		ForceRemove {1EF18494-8B5D-4512-8B0D-1A2A172E5D3E} = s 'PhotoDesc Class'
		{
			ProgID = s 'TavirelleHelper.PhotoDesc.1'
			VersionIndependentProgID = s 'TavirelleHelper.PhotoDesc'
			ForceRemove 'Programmable'
			InprocServer32 = s '%MODULE%'
			{
				val ThreadingModel = s 'Apartment'
			}
			'TypeLib' = s '{5D30531A-0516-45F7-A3BA-0F8C505D28CB}'
		}
	}
}
)";

const char kClipScript[] = R"(HKCR
{
	TavirelleHelper.Clip.1 = s 'Clip Class'
	{
		CLSID = s '{AFB5DFB6-2E29-46C3-8FC4-1C78FE132A1E}'
	}
	TavirelleHelper.Clip = s 'Clip Class'
	{
		CLSID = s '{AFB5DFB6-2E29-46C3-8FC4-1C78FE132A1E}'
		CurVer = s 'TavirelleHelper.Clip.1'
	}
	NoRemove CLSID
	{
		ForceRemove {AFB5DFB6-2E29-46C3-8FC4-1C78FE132A1E} = s 'Clip Class'
		{
			ProgID = s 'TavirelleHelper.Clip.1'
			VersionIndependentProgID = s 'TavirelleHelper.Clip'
			ForceRemove 'Programmable'
			InprocServer32 = s '%MODULE%'
			{
				val ThreadingModel = s 'Apartment'
			}
			'TypeLib' = s '{5D30531A-0516-45F7-A3BA-0F8C505D28CB}'
		}
	}
}
)";

const char kQXFileIOScript[] = R"(HKCR
{
	TavirelleHelper.QXFileIO.1 = s 'QXFileIO Class'
	{
		CLSID = s '{4AFA552F-5007-40EC-8DE7-E21BF37880D4}'
	}
	TavirelleHelper.QXFileIO = s 'QXFileIO Class'
	{
		CLSID = s '{4AFA552F-5007-40EC-8DE7-E21BF37880D4}'
		CurVer = s 'TavirelleHelper.QXFileIO.1'
	}
	NoRemove CLSID
	{
		ForceRemove {4AFA552F-5007-40EC-8DE7-E21BF37880D4} = s 'QXFileIO Class'
		{
			ProgID = s 'TavirelleHelper.QXFileIO.1'
			VersionIndependentProgID = s 'TavirelleHelper.QXFileIO'
			ForceRemove 'Programmable'
			InprocServer32 = s '%MODULE%'
			{
				val ThreadingModel = s 'Apartment'
			}
			'TypeLib' = s '{5D30531A-0516-45F7-A3BA-0F8C505D28CB}'
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
