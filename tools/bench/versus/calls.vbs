' 200,000 calls of a user function with two parameters.
Function add(a, b)
   add = a + b
End Function
s = 0
For i = 1 To 200000
   s = add(s, 1)
Next
WScript.Echo s
